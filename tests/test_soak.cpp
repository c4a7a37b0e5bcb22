// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/windowtest.h"
#include "platform/filesystem.h"
#include "playback/transportstatus.h"

#include <QLabel>
#include <QRandomGenerator>

#include <functional>

// A seeded stream of random events, everything a user and the timers can do, fed to the
// real window over fakes; after every event the window must still keep its promises.
// SOAK_SEED replays one seed, SOAK_EVENTS sets how many events a seed runs.
class TestSoak : public QObject, public WindowTest
{
    Q_OBJECT

private slots:
    void cleanup() { stop(); }
    void randomEvents();

private:
    struct Event
    {
        const char *name;
        int weight;
        std::function<void()> act;
    };
    void prepareDisk();
    QList<Event> events();
    void checkInvariants(const QString &event, const QStringList &newOpens, bool buttonsBefore);
    QString randomText();
    // Types the text key by key; keys beyond ASCII arrive as a key event carrying the text.
    static void typeText(QWidget *w, const QString &text);
    QWidget *randomRowTarget(QListWidget *list, QPoint *at);

    QRandomGenerator m_random;
    QSet<QString> m_namesSeen;
};

void TestSoak::prepareDisk()
{
    m_fs.addDrive("C:");
    m_fs.addDrive("D:", false);
    m_fs.addDrive("E:");
    for (const char *path :
         {"C:\\wake.mp3", "C:\\mp3notes.txt", "C:\\Music\\a.mp3", "C:\\Music\\Song.MP3",
          "C:\\Music\\b.mp3", "C:\\Music\\Rock\\c.mp3", "C:\\Music\\Rock\\d.mp3",
          "C:\\old.mp3\\x.txt", "C:\\old.mp3\\y.mp3", "E:\\one.mp3", "E:\\Deep\\Deeper\\two.mp3"})
        m_fs.addFile(path);
    m_fs.addFolder("C:\\Empty");
}

QString TestSoak::randomText()
{
    static const QStringList samples {"",
                                      "0",
                                      "00",
                                      "1",
                                      "3",
                                      "05",
                                      "59",
                                      "-2",
                                      "1.5",
                                      " 2 ",
                                      "abc",
                                      "1e400",
                                      "inf",
                                      "nan",
                                      "-0",
                                      "6:00:01 AM",
                                      "6:00:03 AM",
                                      "06:00:05 AM",
                                      "\u00e9\U0001F3B5"};
    if (m_random.bounded(4) == 0) {
        QString text;
        const int length = m_random.bounded(12);
        for (int i = 0; i < length; ++i)
            text += QChar(char16_t(m_random.bounded(32, 127)));
        return text;
    }
    return samples.at(m_random.bounded(samples.size()));
}

void TestSoak::typeText(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(w, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// A point on a random row of the list, or on its empty viewport when it has none.
QWidget *TestSoak::randomRowTarget(QListWidget *list, QPoint *at)
{
    *at = QPoint(2, 2);
    if (list->count() > 0) {
        QListWidgetItem *item = list->item(m_random.bounded(list->count()));
        list->scrollToItem(item);
        *at = list->visualItemRect(item).center();
    }
    return list->viewport();
}

QList<TestSoak::Event> TestSoak::events()
{
    auto click = [this](const char *name) {
        return [this, name] { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); };
    };
    auto type = [this](const char *name) {
        return [this, name] {
            auto *field = child<QLineEdit>(name);
            if (m_random.bounded(2))
                field->clear();
            typeText(field, randomText());
        };
    };
    QList<Event> list {
        {"Play", 4, click("cmdPlay")},
        {"Pause", 3, click("cmdPause")},
        {"Stop", 2, click("cmdStop")},
        {"Stop Song", 2, click("Command1")},
        {"Back", 3, click("cmdBack")},
        {"Next", 3, click("cmdNext")},
        {"Add", 4, click("cmdAdd")},
        {"Remove", 2, click("cmdRemove")},
        {"Clear", 1, click("cmdClear")},
        {"Up", 3, click("cmdUp")},
        {"Command2", 2, click("Command2")},
        {"Picture1", 2, click("Picture1")},
        {"lblHide", 1, click("lblHide")},
        {"lblHide double", 1,
         [this] { QTest::mouseDClick(child<QWidget>("lblHide"), Qt::LeftButton); }},
        {"Option1", 2, click("Option1")},
        {"Option2", 2, click("Option2")},
        {"Text2", 2, type("Text2")},
        {"Text3", 2, type("Text3")},
        {"Text4", 2, type("Text4")},
        {"Text5", 3, type("Text5")},
        {"pick drive", 4,
         [this] {
             auto *box = child<QComboBox>("cmbDrives");
             const int index = m_random.bounded(box->count());
             box->setCurrentIndex(index);
             emit box->activated(index);
         }},
        {"type drive", 1,
         [this] {
             auto *box = child<QComboBox>("cmbDrives");
             typeText(box, randomText());
             QTest::keyClick(box, Qt::Key_Return);
         }},
        {"click file", 8,
         [this] {
             QPoint at;
             static const Qt::KeyboardModifiers keys[] {Qt::NoModifier, Qt::NoModifier,
                                                        Qt::ControlModifier, Qt::ShiftModifier};
             QWidget *target = randomRowTarget(child<QListWidget>("lstFiles"), &at);
             QTest::mouseClick(target, Qt::LeftButton, keys[m_random.bounded(4)], at);
         }},
        {"select song", 3,
         [this] {
             QPoint at;
             QWidget *target = randomRowTarget(child<QListWidget>("lstSelected"), &at);
             QTest::mouseClick(target, Qt::LeftButton, {}, at);
         }},
        {"double click song", 3,
         [this] {
             QPoint at;
             QWidget *target = randomRowTarget(child<QListWidget>("lstSelected"), &at);
             QTest::mouseClick(target, Qt::LeftButton, {}, at);
             QTest::mouseDClick(target, Qt::LeftButton, {}, at);
             QTest::mouseRelease(target, Qt::LeftButton, {}, at);
         }},
        {"slider", 1, [this] { child<QSlider>("slVolume")->setValue(m_random.bounded(301)); }},
        {"Timer1", 6, [this] { timeout(m_window->Timer1); }},
        {"Timer2", 10, [this] { tickAfter(1000); }},
        {"clock jump", 1,
         [this] {
             const qint64 ms = qint64(m_random.bounded(-3600, 3600)) * 1000;
             m_clock.wall = m_clock.wall.addMSecs(ms);
             m_clock.boot += qMax<qint64>(0, ms);
         }},
        {"song ends", 4,
         [this] {
             if (m_record.live)
                 m_record.live->finishSong();
         }},
        {"song fails", 1,
         [this] {
             if (m_record.live && !m_record.opened.isEmpty())
                 m_record.live->unplayable << m_record.opened.last();
         }},
        {"close box", 6, [this] { closeMessage(); }},
    };
    return list;
}

void TestSoak::checkInvariants(const QString &event, const QStringList &newOpens,
                               bool buttonsBefore)
{
    auto fail = [&](const QString &what) {
        QFAIL(qPrintable(QStringLiteral("after %1: %2").arg(event, what)));
    };
    const QStringList entries = playlistEntries();
    const QStringList rows = playlistRows();
    if (entries.size() != rows.size())
        fail(QStringLiteral("%1 entries, %2 rows").arg(entries.size()).arg(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i] != drivepath::fileName(entries[i]))
            fail(QStringLiteral("row %1 is %2 for %3").arg(i).arg(rows[i], entries[i]));
    for (const QString &path : newOpens)
        if (!entries.contains(path))
            fail(QStringLiteral("opened %1, not in the playlist").arg(path));

    const bool buttons = child<QPushButton>("cmdAdd")->isEnabled();
    if (buttons != child<QPushButton>("cmdRemove")->isEnabled()
        || buttons != child<QPushButton>("cmdClear")->isEnabled())
        fail(QStringLiteral("the playlist buttons disagree"));
    static const QStringList lockers {"Play", "double click song", "Timer2"};
    static const QStringList unlockers {"Stop", "Stop Song"};
    if (buttons != buttonsBefore && !(buttons ? unlockers : lockers).contains(event))
        fail(QStringLiteral("the playlist buttons changed"));

    const playback::Transport transport = m_window->transportStatus().state();
    if (unlockers.contains(event)) {
        if (transport != playback::Transport::Idle || !child<QLineEdit>("txtSong")->text().isEmpty()
            || !buttons)
            fail(QStringLiteral("not idle"));
    }
    if (transport == playback::Transport::Paused && child<QTimer>("Timer1")->isActive())
        fail(QStringLiteral("Timer1 runs while paused"));

    // "Player - " names a song of the playlist, or one that was in it before a Remove or Clear.
    for (const QString &row : rows)
        m_namesSeen.insert(row);
    static const QStringList titles {"Wakewell of Your", "Player", "Wakewell", "up", "V"};
    const QString title = m_window->windowTitle();
    if (!titles.contains(title)
        && !(title.startsWith(QLatin1String("Player - ")) && m_namesSeen.contains(title.mid(9))))
        fail(QStringLiteral("title %1").arg(title));

    if (m_window->findChildren<QMessageBox *>().size() > 1)
        fail(QStringLiteral("more than one message box"));

    // The window still answers: a zero-delay timer posted now runs.
    bool answered = false;
    QTimer::singleShot(0, m_window.get(), [&] { answered = true; });
    QCoreApplication::processEvents();
    if (!answered)
        fail(QStringLiteral("the event loop did not answer"));
}

void TestSoak::randomEvents()
{
    const bool replay = qEnvironmentVariableIsSet("SOAK_SEED");
    const quint32 seed = replay ? qEnvironmentVariableIntValue("SOAK_SEED")
                                : QRandomGenerator::global()->generate();
    const int count = qEnvironmentVariableIsSet("SOAK_EVENTS")
        ? qEnvironmentVariableIntValue("SOAK_EVENTS")
        : 100000;
    m_random.seed(seed);
    qInfo("soak seed %u (replay with SOAK_SEED=%u)", seed, seed);

    prepareDisk();
    // Only the soak's own events tick the timers, so that each change is laid to its event.
    startHeld();
    child<QTimer>("Timer1")->setInterval(24 * 3600 * 1000);
    const QList<Event> all = events();
    int total = 0;
    for (const Event &e : all)
        total += e.weight;
    for (int n = 0; n < count; ++n) {
        int pick = m_random.bounded(total);
        const Event *event = &all.first();
        for (const Event &e : all) {
            if (pick < e.weight) {
                event = &e;
                break;
            }
            pick -= e.weight;
        }
        const qsizetype opensBefore = m_record.opened.size();
        const bool buttonsBefore = child<QPushButton>("cmdAdd")->isEnabled();
        event->act();
        checkInvariants(QString::fromLatin1(event->name), m_record.opened.mid(opensBefore),
                        buttonsBefore);
        if (QTest::currentTestFailed()) {
            qWarning("soak failed at event %d (%s) of seed %u", n, event->name, seed);
            return;
        }
    }
}

QTEST_MAIN(TestSoak)
#include "test_soak.moc"
