// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/accessibility.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>

namespace {

// What announce() has a reader say: an object of the window, described as a notification that
// appears, and gone at the next announcement, by when the reader has long read it. Each is new,
// so that no reader reads a text it kept from the one before.
class Announcement : public QObject
{
    Q_OBJECT

public:
    Announcement(QWidget *window, const QString &text) : QObject(window), text(text) { }
    const QString text;
};

class AnnouncementAccessible : public QAccessibleObject
{
public:
    explicit AnnouncementAccessible(Announcement *announcement)
        : QAccessibleObject(announcement) { }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? static_cast<Announcement *>(object())->text : QString();
    }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(object()->parent());
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
};

// The clock as a label that holds text: readers present a label's text when it is focused or
// asked for, and leave its changes unspoken (a text box's would be read at every tick).
class ClockAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ClockAccessible(QLineEdit *field) : QAccessibleWidget(field, QAccessible::StaticText)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? field()->text() : QAccessibleWidget::text(t);
    }

    // The text, the caret and the selection are the field's own.
    QString text(int startOffset, int endOffset) const override
    {
        return field()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(field()->text().size()); }
    int cursorPosition() const override { return field()->cursorPosition(); }
    void setCursorPosition(int position) override { field()->setCursorPosition(position); }
    int selectionCount() const override { return field()->hasSelectedText() ? 1 : 0; }
    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = field()->selectionStart();
        *endOffset = field()->selectionEnd();
    }
    void setSelection(int, int startOffset, int endOffset) override
    {
        field()->setSelection(startOffset, endOffset - startOffset);
    }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int) override { field()->deselect(); }
    // Nothing is placed by character: a reader reads the clock whole.
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    QLineEdit *field() const { return static_cast<QLineEdit *>(widget()); }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    // A window of its own is a frame, named by its title; Qt makes a plain widget a filler.
    if (className == QLatin1String("frmPlayer"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    // A picture box is a picture, whether or not it has been drawn yet.
    if (className == QLatin1String("PictureBox"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    if (className == QLatin1String("ClockField"))
        return new ClockAccessible(static_cast<ClockField *>(object));
    if (className == QLatin1String("Announcement"))
        return new AnnouncementAccessible(static_cast<Announcement *>(object));
    return nullptr;
}

} // namespace

void accessibility::install()
{
    QAccessible::installFactory(factory);
}

void accessibility::announce(QWidget *window, const QString &text)
{
    delete window->findChild<Announcement *>(QString(), Qt::FindDirectChildrenOnly);
    QAccessibleEvent shown(new Announcement(window, text), QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

#include "accessibility.moc"
