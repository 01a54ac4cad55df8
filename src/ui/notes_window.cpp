#include "ui/notes_window.h"

#include <QCloseEvent>
#include <QPainter>

namespace jov {

NotesPicture::NotesPicture(const NotesScreen& screen, QWidget* parent)
    : QWidget(parent), screen_(screen) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void NotesPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage& frame = screen_.BackSurface.Image();
    if (frame.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(0, 0, frame);
    // A frame smaller than the area (between a resize and the next frame) leaves black.
    if (frame.width() < width()) painter.fillRect(frame.width(), 0, width() - frame.width(), height(), Qt::black);
    if (frame.height() < height()) painter.fillRect(0, frame.height(), width(), height() - frame.height(), Qt::black);
}

frmNotes::frmNotes(const DirectDraw& ddraw, const SkinTables& skin, NotesScreen& screen, QWidget* parent)
    : QWidget(parent, Qt::Window), ddraw_(ddraw), skin_(skin), screen_(screen),
      picobjs_(new NotesPicture(screen, this)) {
    setObjectName("frmNotes");
    picobjs_->setObjectName("picobjs");
    setWindowTitle("Notes");
    // Without a size of its own the window would open at the toolkit's minimum (about
    // 100 by 30), showing a corner of the key panel: the default skin's width, and
    // about two measures of falling notes above its panel.
    resize(248, 480);
    // A move alone is noticed here; only a resize rebuilds the geometry.
    timNotifyMoved_.setInterval(500);
    connect(&timNotifyMoved_, &QTimer::timeout, this, [this] { NotifyMoved(); });
    timNotifyMoved_.start();
}

void frmNotes::Form_Resize() {
    const int w = width();
    const int h = height();
    picobjs_->setGeometry(0, 0, w, h);
    const QPoint topLeft = picobjs_->mapToGlobal(QPoint(0, 0));
    const RECT screenRect{topLeft.x(), topLeft.y(), topLeft.x() + w, topLeft.y() + h};
    ResizeNotesScreen(screen_, ddraw_, skin_, w, h, screenRect);
    lastLeft_ = x();
    lastTop_ = y();
    picobjs_->update();
}

void frmNotes::NotifyMoved() {
    if (x() != lastLeft_ || y() != lastTop_) Form_Resize();
}

void frmNotes::Present(const Surface&, const RECT&, const RECT&) {
    // The picture area paints straight from the back surface when events next run.
    if (isVisible()) picobjs_->update();
}

void frmNotes::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmNotes::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Resize();
}

void frmNotes::closeEvent(QCloseEvent* event) {
    if (!event->spontaneous()) {
        event->accept();
        return;
    }
    // The user's close only hides the window; the owner unticks its switch.
    event->ignore();
    if (onUserClose_) onUserClose_();
    hide();
}

}  // namespace jov
