// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/windowtest.h"
#include "main/controls.h"

#include <QLabel>
#include <QSignalSpy>

namespace {

// A double click as the window system delivers it to a widget: press and release, the
// double click, and the release that ends it.
void doubleClick(QWidget *w)
{
    QTest::mouseClick(w, Qt::LeftButton);
    QTest::mouseDClick(w, Qt::LeftButton);
    QTest::mouseRelease(w, Qt::LeftButton);
}

// The part of each control that lies inside the client area: "name" when it is wholly
// inside, "name:top N" when only its top N twips are, nothing when it lies outside.
QStringList controlsOnScreen(const QWidget *window, const QWidget *frame)
{
    QStringList seen;
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty()
            || (w->parentWidget() != window && w->parentWidget() != frame))
            continue;
        const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
        const QRect inside = inWindow & window->rect();
        if (inside.isEmpty())
            continue;
        if (inside == inWindow)
            seen << w->objectName();
        else if (inside.topLeft() == inWindow.topLeft() && inside.width() == inWindow.width())
            seen << QStringLiteral("%1:top %2").arg(w->objectName()).arg(inside.height() * 15);
        else
            seen << QStringLiteral("%1:%2,%3 %4x%5")
                        .arg(w->objectName())
                        .arg(inside.x())
                        .arg(inside.y())
                        .arg(inside.width())
                        .arg(inside.height());
    }
    seen.sort();
    return seen;
}

const QStringList alarmPanel {"Text1",  "Command2", "Option1",  "Option2", "Label1",
                              "Label2", "Label3",   "Label4",   "Text2",   "Text3",
                              "Text4",  "Text5",    "Picture1", "Shape1",  "Shape2"};

} // namespace

// The window's sizes through Command2, Picture1 and lblHide, what each size shows, and the
// hover colour of lblHide.
class TestWindowSizes : public QObject, public WindowTest
{
    Q_OBJECT

    QSize outer() const { return {m_window->outerWidth(), m_window->outerHeight()}; }
    void click(const char *name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    void clickPicture1(int times)
    {
        for (int i = 0; i < times; ++i)
            click("Picture1");
    }
    QColor lblHideColour() const
    {
        return child<QLabel>("lblHide")->palette().color(QPalette::WindowText);
    }

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void command2()
    {
        click("Command2");
        QCOMPARE(outer(), QSize(6705, 5580));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("up"));
        click("Command2");
        QCOMPARE(outer(), QSize(4500, 2910));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("V"));
        QCOMPARE(child<QPushButton>("Command2")->text(), QStringLiteral("V"));

        // From the full size the button enlarges; it shrinks only from the enlarged height.
        clickPicture1(100);
        QCOMPARE(outer(), QSize(12705, 4125));
        click("Command2");
        QCOMPARE(outer(), QSize(6705, 5580));
    }

    void picture1Clicks_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("99") << 99 << QSize(4500, 2910);
        QTest::newRow("100") << 100 << QSize(12705, 4125);
        QTest::newRow("101") << 101 << QSize(4500, 2910);
        QTest::newRow("200") << 200 << QSize(4500, 2910);
    }

    void picture1Clicks()
    {
        QFETCH(int, clicks);
        QFETCH(QSize, expected);
        clickPicture1(clicks);
        QCOMPARE(m_window->intClicks, clicks);
        QCOMPARE(outer(), expected);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Wakewell of Your"));
    }

    // The hundredth click on the enlarged window gives the normal size, keeps the title, and
    // the full size is lost for the run.
    void hundredthClickWhileEnlarged()
    {
        clickPicture1(99);
        click("Command2");
        clickPicture1(1);
        QCOMPARE(outer(), QSize(4500, 2910));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("up"));
        clickPicture1(200);
        QCOMPARE(outer(), QSize(4500, 2910));
    }

    // A double click on the picture is one click, as its double click is not handled.
    void picture1DoubleClickCountsOnce()
    {
        doubleClick(child<QWidget>("Picture1"));
        QCOMPARE(m_window->intClicks, 1);
    }

    void picture1CounterOverflowLeavesTheSize()
    {
        click("Command2");
        m_window->intClicks = 32767;
        click("Picture1");
        QTRY_COMPARE(messageText(), QStringLiteral("Overflow"));
        QCOMPARE(m_window->intClicks, 32767);
        QCOMPARE(outer(), QSize(6705, 5580));
    }

    void lblHide()
    {
        auto *label = child<QWidget>("lblHide");
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(outer(), QSize(6870, 3855));
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(outer(), QSize(6870, 1410));
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(outer(), QSize(6870, 3855));

        // From the normal size a double click toggles twice, and a click after it counts.
        click("Picture1");
        doubleClick(label);
        QCOMPARE(outer(), QSize(6870, 1410));
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(outer(), QSize(6870, 3855));
    }

    void hoverColour()
    {
        const QColor grey = systemColour(17);
        const QColor buttonText = systemColour(18);
        QVERIFY(grey != buttonText);
        QCOMPARE(lblHideColour(), buttonText);

        // The label lies off screen: its move comes as the window system would send it.
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(child<QWidget>("lblHide"), &move);
        QCOMPARE(lblHideColour(), grey);
        // A move over a control is the control's, not the window's.
        QTest::mouseMove(child<QWidget>("Label1"));
        QCOMPARE(lblHideColour(), grey);
        // Inside the outline Shape1, clear of every control: the window's surface.
        QTest::mouseMove(m_window.get(), QPoint(285, 160));
        QCOMPARE(lblHideColour(), buttonText);
    }

    // A move sets the hover colour and nothing else: no handler runs through the dispatcher,
    // so none of what follows every handler (the desktop's checks) runs either.
    void movesRunNoHandler()
    {
        const QSignalSpy handlers(m_window.get(), &frmPlayer::settled);
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(child<QWidget>("lblHide"), &move);
        for (int x = 280; x < 290; ++x)
            QTest::mouseMove(m_window.get(), QPoint(x, 160));
        QCOMPARE(lblHideColour(), systemColour(18));
        QCOMPARE(handlers.count(), 0);
    }

    void whatEachSizeShows_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("shown");
        const QStringList browser {"Picture2", "cmbDrives", "cmdUp", "Command1"};
        QTest::newRow("normal") << QStringList() << QSize(4500, 2910) << alarmPanel;
        QTest::newRow("enlarged") << QStringList {"Command2"} << QSize(6705, 5580)
                                  << alarmPanel + browser
                + QStringList {"lstFiles", "cmdAdd", "cmdRemove", "cmdClear", "lstSelected"};
        QTest::newRow("full") << QStringList(100, "Picture1") << QSize(12705, 4125)
                              << alarmPanel + browser
                + QStringList {"Picture3", "lstFiles:top 795"};
        QTest::newRow("tall panel") << QStringList {"lblHide"} << QSize(6870, 3855)
                                    << alarmPanel + browser + QStringList {"lstFiles:top 525"};
        QTest::newRow("short panel")
            << QStringList {"lblHide", "lblHide"} << QSize(6870, 1410)
            << QStringList {"Text1", "Command2",       "Option1",         "Label1",
                            "Text2", "Shape2:top 480", "Picture2:top 120"};
    }

    void whatEachSizeShows()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QSize, size);
        QFETCH(QStringList, shown);
        for (const QString &name : clicks)
            click(qPrintable(name));
        QCOMPARE(outer(), size);
        QCOMPARE(m_window->size(), QSize((size.width() - 90) / 15, (size.height() - 330) / 15));
        shown.sort();
        QCOMPARE(controlsOnScreen(m_window.get(), child<QWidget>("Frame1")), shown);
    }
};

QTEST_MAIN(TestWindowSizes)
#include "test_windowsizes.moc"
