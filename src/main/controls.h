#pragma once

#include <QLabel>
#include <QLineF>
#include <QWidget>

// Control kinds of the window that Qt has no widget for.

// A picture box: shows its image at the top-left corner, clipped to the box.
class PictureBox : public QLabel
{
public:
    explicit PictureBox(QWidget *parent);
};

// A line, drawn in its parent's coordinates. Lines take no mouse events: a move over one is
// a move over the window's surface.
class LineControl : public QWidget
{
public:
    LineControl(QWidget *parent, QPointF from, QPointF to);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QLineF m_line; // in the widget's own pixels
};

// A rectangle outline with a transparent inside; like a line, it takes no mouse events.
class ShapeControl : public QWidget
{
public:
    ShapeControl(QWidget *parent, const QColor &border);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor m_border;
};

// The window system's configurable colours by their index: 5 window, 8 window text,
// 11 inactive border, 17 grey text, 18 button text.
QColor systemColour(int index);
