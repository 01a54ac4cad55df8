#include "ui/pictures.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace jov {

const QColor kBlue(0, 0, 255);
const QColor kLightCyan(192, 255, 255);

QRect Twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QColor ToColor(const Rgb& c) { return QColor(c.r, c.g, c.b); }

QFont SizedFont(double points) {
    QFont f = QApplication::font();
    f.setPointSizeF(points);
    return f;
}

// Drawn at the screen's device pixel ratio (2 at QT_SCALE_FACTOR=2), so the pictures
// stay sharp instead of being scaled up from 16 by 16 pixels.
static QPixmap Picture(const std::function<void(QPainter&)>& draw) {
    const qreal dpr = std::max<qreal>(1.0, std::ceil(qApp ? qApp->devicePixelRatio() : 1.0));
    QPixmap pm(QSize(16, 16) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    draw(p);
    return pm;
}

QPixmap TrianglePicture(const QColor& c) {
    return Picture([&](QPainter& p) {
        QPainterPath path;
        path.moveTo(4, 2);
        path.lineTo(13, 8);
        path.lineTo(4, 14);
        path.closeSubpath();
        p.fillPath(path, c);
    });
}

QPixmap StopPicture() {
    return Picture([](QPainter& p) { p.fillRect(QRect(3, 3, 10, 10), Qt::black); });
}

// Three falling notes in their lanes.
QPixmap NotesSwitchPicture() {
    return Picture([](QPainter& p) {
        p.fillRect(QRect(1, 1, 14, 14), QColor(0, 0, 96));
        p.fillRect(QRect(2, 3, 3, 2), Qt::white);
        p.fillRect(QRect(6, 8, 3, 2), QColor(64, 160, 255));
        p.fillRect(QRect(10, 5, 3, 2), Qt::white);
        p.fillRect(QRect(1, 12, 14, 1), QColor(255, 64, 64));
    });
}

// Two crossing arrows.
QPixmap ShufflePicture() {
    return Picture([](QPainter& p) {
        QPen pen(Qt::black, 1.6);
        p.setPen(pen);
        p.drawLine(QPointF(1.5, 4), QPointF(5, 4));
        p.drawLine(QPointF(5, 4), QPointF(11, 12));
        p.drawLine(QPointF(1.5, 12), QPointF(5, 12));
        p.drawLine(QPointF(5, 12), QPointF(11, 4));
        QPainterPath a;
        a.moveTo(15, 4); a.lineTo(11, 1.5); a.lineTo(11, 6.5); a.closeSubpath();
        QPainterPath b;
        b.moveTo(15, 12); b.lineTo(11, 9.5); b.lineTo(11, 14.5); b.closeSubpath();
        p.fillPath(a, Qt::black);
        p.fillPath(b, Qt::black);
    });
}

int ButtonBits(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

PictureBox::PictureBox(QWidget* parent, bool border) : QWidget(parent), back_(kBlue), border_(border) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::SetBackColor(const QColor& c) {
    if (c == back_) return;
    back_ = c;
    update();
}

QRect PictureBox::InnerRect() const {
    return border_ ? rect().adjusted(2, 2, -2, -2) : rect();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (border_) {
        // A sunken frame, two pixels wide, as the classic picture box draws it.
        p.fillRect(rect(), palette().color(QPalette::Dark));
        p.fillRect(QRect(1, 1, width() - 1, height() - 1), palette().color(QPalette::Light));
        p.fillRect(QRect(1, 1, width() - 2, height() - 2), palette().color(QPalette::Shadow));
    }
    QRect inner = InnerRect();
    p.fillRect(inner, back_);
    if (paintContent) {
        p.setClipRect(inner);
        paintContent(p, inner);
    }
}

void PictureBox::mousePressEvent(QMouseEvent* e) {
    if (mouse) mouse(e);
}

void PictureBox::mouseMoveEvent(QMouseEvent* e) {
    if (mouse) mouse(e);
}

}  // namespace jov
