#pragma once
// The drawn parts of the main window: picture boxes, the button pictures, and the
// window design's units and colours.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <functional>

#include "notes/beat_display.h"

class QMouseEvent;
class QPainter;

namespace jov {

extern const QColor kBlue;
extern const QColor kLightCyan;

// The window design is in twips; 15 twips make one (logical) pixel.
QRect Twips(int left, int top, int width, int height);
QColor ToColor(const Rgb& c);
// The application font at the given point size.
QFont SizedFont(double points);
// Mouse buttons as a bit set: 1 left, 2 right, 4 middle.
int ButtonBits(Qt::MouseButtons b);

QPixmap TrianglePicture(const QColor& c);
QPixmap StopPicture();
QPixmap NotesSwitchPicture();
QPixmap ShufflePicture();

// A picture box: a filled rectangle with an optional sunken border, painted by a callback.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent, bool border);
    void SetBackColor(const QColor& c);
    QColor BackColor() const { return back_; }
    // Inner drawing area (inside the border), in the box's pixels.
    QRect InnerRect() const;
    std::function<void(QPainter&, const QRect& inner)> paintContent;
    std::function<void(QMouseEvent*)> mouse;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    QColor back_;
    bool border_;
};

}  // namespace jov
