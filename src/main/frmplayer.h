// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"
#include "playlist/collection.h"

#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class ClickLabel;
class PictureBox;
class LineControl;
class ShapeControl;

// The one window. It owns every control, the window-level state that all subsystems share,
// and the two platform components; it knows none of the handlers. Each handled event runs
// its subsystem's handler through run(), the one place where a failing step is caught and
// reported; src/main/events.cpp connects the events to their handlers.
class frmPlayer : public QWidget
{
    Q_OBJECT

public:
    explicit frmPlayer(Platform platform, QWidget *parent = nullptr);
    ~frmPlayer() override;

    // Controls, in the order in which they are created. Each one's objectName is its name.
    PictureBox *Picture3, *Picture2, *Picture1;
    QPushButton *Command2, *Command1;
    QLineEdit *Text1, *Text2, *Text3, *Text4;
    QRadioButton *Option1, *Option2;
    QTimer *Timer2;
    QLineEdit *Text5;
    QTimer *Timer1;
    QGroupBox *Frame1;
    QSlider *slVolume;
    QPushButton *cmdNext, *cmdBack, *cmdStop, *cmdPause, *cmdPlay;
    QLineEdit *txtSong;
    LineControl *Line3, *Line2, *Line1;
    ClickLabel *lblHide;
    QPushButton *cmdRemove, *cmdClear;
    QListWidget *lstSelected;
    QPushButton *cmdAdd, *cmdUp;
    QListWidget *lstFiles;
    QComboBox *cmbDrives;
    QLabel *Label1, *Label2, *Label3;
    ShapeControl *Shape1, *Shape2;
    QLabel *Label4;

    // Window-level state.
    QString strDrive;
    QString strFolder;
    bool blnAlarmEdited = false;
    QString strNow;
    std::int16_t intSong = 0;
    std::int16_t intClicks = 0;
    std::int16_t intVolume = 0;
    // What the clock tick keeps of the previous tick, to make up for ticks that could not
    // run: its wall-clock time (invalid before the first tick) and its boot-clock time.
    QDateTime lastTickWall;
    qint64 lastTickBootMs = 0;

    // The components and the playlist, each made the first time it is asked for while empty.
    FileSystem &fso();
    MediaPlayer &mpPlayer();
    Collection &colPlaylist();
    // Shutdown empties them.
    void releaseComponents();

    const Clock &clock() const { return *m_platform.clock; }
    SoundOutput &soundOutput() const { return *m_platform.soundOutput; }

    // Sets the enabled state of cmdAdd, cmdRemove and cmdClear, in that order.
    void EnablePlaylistButtons(bool enabled);
    // Timer1.Enabled: turning on a running timer leaves its phase alone.
    void setTimer1Enabled(bool enabled);

    // Outer sizes in twips, frame and title bar included: a fixed nominal frame of 90 across
    // and 330 down around the client area, at 15 twips per pixel. The user cannot resize.
    int outerWidth() const;
    int outerHeight() const;
    void setOuterWidth(int twips);
    void setOuterHeight(int twips);

    // Runs one handler: a WakewellError (or any other exception) ends it at the failing step,
    // and its description is shown once the handler has returned. After the unload event no
    // handler runs.
    void run(const std::function<void()> &handler);
    // A handler is running: a field's change inside a tick sees the tick's writes half done.
    bool isRunningHandler() const { return m_handlersRunning > 0; }
    // Queues a message box: opened window-modal after the running handler has ended, never
    // inside it, one at a time.
    void report(const QString &text);
    // The message box open now, if any.
    QMessageBox *messageBox() const { return m_messageBox; }

signals:
    // The window's own events: a mouse move over its surface (not over a control), and its
    // unload when it is closed, which comes once and never cancels the closing.
    void MouseMove();
    void Unload();
    // Once, from the event loop after the window's first paint: what need not be ready
    // before the window is seen starts here.
    void shownOnScreen();
    // After every handler that run() has run, whether it ended or failed: the window's
    // state may have changed. Nested handlers (a field's change inside a tick) emit it too.
    void handlerEnded();
    // An alarm has started the playlist (or resumed a paused song), during the tick.
    void alarmStartedPlaylist();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void createControls();
    void showNextMessage();

    Platform m_platform;
    std::unique_ptr<FileSystem> m_fso;
    std::unique_ptr<MediaPlayer> m_mpPlayer;
    std::unique_ptr<Collection> m_colPlaylist;
    QStringList m_pendingMessages;
    QPointer<QMessageBox> m_messageBox;
    bool m_unloaded = false;
    int m_handlersRunning = 0;
    bool m_painted = false;
};
