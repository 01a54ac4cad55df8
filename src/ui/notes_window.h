#pragma once
// The second top-level window, "Notes": one picture area that shows the renderer's back
// surface, kept in step with the window's size and place.
#include <QTimer>
#include <QWidget>

#include <functional>

#include "notes/notes_screen.h"
#include "notes/skin.h"
#include "notes/surfaces.h"

namespace jov {

// The picture area: paints the finished back surface, nothing else.
class NotesPicture : public QWidget {
public:
    NotesPicture(const NotesScreen& screen, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const NotesScreen& screen_;
};

class frmNotes : public QWidget, public Presenter {
public:
    frmNotes(const DirectDraw& ddraw, const SkinTables& skin, NotesScreen& screen,
             QWidget* parent = nullptr);

    // Rebuilds the back surface, the rectangles and the judge line for the current size.
    void Form_Resize();
    // Called when the user closes the window from its title bar: the window only hides,
    // and the owner unticks its notes switch.
    void SetUserCloseHandler(std::function<void()> handler) { onUserClose_ = std::move(handler); }

    void Present(const Surface& back, const RECT& backRect, const RECT& screenRect) override;

    NotesPicture* picobjs() const { return picobjs_; }
    int LastLeft() const { return lastLeft_; }
    int LastTop() const { return lastTop_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void NotifyMoved();

    const DirectDraw& ddraw_;
    const SkinTables& skin_;
    NotesScreen& screen_;
    NotesPicture* picobjs_;
    QTimer timNotifyMoved_;
    int lastLeft_ = 0;
    int lastTop_ = 0;
    std::function<void()> onUserClose_;
};

}  // namespace jov
