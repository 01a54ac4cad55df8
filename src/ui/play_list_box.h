#pragma once
// The playlist box of the main window.
#include <QListWidget>

#include <functional>
#include <string>
#include <vector>

class QDropEvent;
class QMimeData;

namespace jov {

// lstPlayList: extended selection, drops, the Delete key. onChosen runs only for a line
// the user chose: a plain left click on a line (the current one too) or a plain keyboard
// move of the current line; with Shift or Ctrl they only shape the selection. The view's own changes of the current line (focus coming in, the list
// refilled) and clicks that hit no line or use another button choose nothing.
class PlayListBox : public QListWidget {
    Q_OBJECT
public:
    explicit PlayListBox(QWidget* parent);
    std::function<void(const std::vector<std::string>&)> onDrop;
    std::function<void(int key)> onKeyDown;
    std::function<void(int row)> onChosen;
    // Printable text typed on the list (no Ctrl or Alt): it goes here instead of moving.
    std::function<void(const QString& text)> onTypeText;
    // The tool tip of a line, asked when it is about to show; empty: none.
    std::function<QString(int row)> toolTipFor;

    // Marks `row` as the current line. A range the user has selected stays selected
    // (only the focus moves); otherwise the line becomes the one selected line.
    void MarkLine(int row);

protected:
    bool viewportEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
};

// The dropped paths of a drag, in the order the source lists them.
std::vector<std::string> DroppedPaths(const QMimeData* data);
// Drags carrying files or folders are welcome on the list and on the window alike.
void AcceptIfUrls(QDropEvent* e);

}  // namespace jov
