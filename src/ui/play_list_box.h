#pragma once
// The playlist box of the main window.
#include <QListWidget>

#include <functional>
#include <string>
#include <vector>

class QDropEvent;
class QMimeData;

namespace jov {

// lstPlayList: extended selection, drops, the Delete key, and a click on the line
// that is already current still counts as a click.
class PlayListBox : public QListWidget {
    Q_OBJECT
public:
    explicit PlayListBox(QWidget* parent);
    std::function<void(const std::vector<std::string>&)> onDrop;
    std::function<void(int key)> onKeyDown;
    std::function<void(int row)> onClickSameRow;

protected:
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
