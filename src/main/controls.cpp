// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/controls.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

ClickLabel::ClickLabel(QWidget *parent) : QLabel(parent) { }

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = !m_doubleClicked;
    m_doubleClicked = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit Click();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_doubleClicked = true;
    QLabel::mouseDoubleClickEvent(event);
    emit DblClick();
}

void ClickLabel::mouseMoveEvent(QMouseEvent *event)
{
    QLabel::mouseMoveEvent(event);
    emit MouseMove();
}

PictureBox::PictureBox(QWidget *parent) : ClickLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::setPicture(const QString &resource)
{
    m_resource = resource;
    setPixmap(QPixmap());
    update();
}

namespace {
// The picture for a screen of this scale: the twin drawn at twice the size where the screen
// scales by more than 1 and a twin exists, shown at the size of the picture itself.
QPixmap pictureAtScale(const QString &resource, qreal scale)
{
    if (scale > 1) {
        QString twin = resource;
        QPixmap sharp(twin.insert(twin.lastIndexOf(u'.'), QStringLiteral("@2x")));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2);
            return sharp;
        }
    }
    return QPixmap(resource);
}
} // namespace

void PictureBox::paintEvent(QPaintEvent *event)
{
    if (!m_resource.isEmpty()) {
        setPixmap(pictureAtScale(m_resource, devicePixelRatioF()));
        m_resource.clear();
    }
    ClickLabel::paintEvent(event);
}

LineControl::LineControl(QWidget *parent, QPointF from, QPointF to) : QWidget(parent)
{
    const QRectF box = QRectF(from, to).normalized();
    setGeometry(box.toAlignedRect().adjusted(0, 0, 1, 1));
    m_line = QLineF(from - geometry().topLeft(), to - geometry().topLeft());
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawLine(m_line);
}

ShapeControl::ShapeControl(QWidget *parent, const QColor &border)
    : QWidget(parent), m_border(border)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(m_border);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QColor systemColour(int index)
{
    const QPalette palette = QApplication::palette();
    switch (index) {
    case 5:
        return palette.color(QPalette::Base);
    case 8:
        return palette.color(QPalette::Text);
    case 11:
        return palette.color(QPalette::Midlight);
    case 17:
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:
        return palette.color(QPalette::ButtonText);
    default:
        return palette.color(QPalette::WindowText);
    }
}
