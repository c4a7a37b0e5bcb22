// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QLineF>
#include <QWidget>

// Control kinds of the window that Qt has no widget for.

// A label that reports the mouse as the window system's labels and picture boxes do: a click,
// a double click and a move over it. A double click arrives as press, release, double click,
// release: the control takes a click and then a double click, and the release that ends a
// double click is no click.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(QWidget *parent);

signals:
    void Click();
    void DblClick();
    void MouseMove();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool m_doubleClicked = false;
};

// A picture box: shows its image at the top-left corner, clipped to the box. The image is
// read the first time the box is painted, so that a picture never seen costs nothing. On a
// screen that scales, it is read from the resource's twin drawn at twice the size
// ("picture1@2x.bmp" beside "picture1.bmp"), so that it stays sharp.
class PictureBox : public ClickLabel
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent);
    void setPicture(const QString &resource);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_resource;
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
