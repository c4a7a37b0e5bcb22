// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarm/alarmsetting.h"
#include "platform/platform.h"
#include "playback/transportcommands.h"
#include "playback/transportstatus.h"
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
// reported; src/main/events.cpp connects the events to their handlers. What those beside the
// window know of it, they are told by its AlarmSetting and TransportStatus; what they ask of
// it, they ask through TransportCommands, which presses its controls.
class frmPlayer : public QWidget, public TransportCommands
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

    // What the window tells of the alarm and of the transport, once settled() has come.
    AlarmSetting &alarmSetting() { return m_alarmSetting; }
    TransportStatus &transportStatus() { return m_transportStatus; }

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
    // The window's state may have changed outside any handler (an option, Text2): settled()
    // follows, unless a handler runs now, whose own end is awaited, or the window is closing.
    void settle();
    // Queues a message box: opened window-modal after the running handler has ended, never
    // inside it, one at a time.
    void report(const QString &text);
    // The message box open now, if any.
    QMessageBox *messageBox() const { return m_messageBox; }

    // TransportCommands: the transport's buttons clicked; the others as their comments say.
    void play() override;
    void pause() override;
    void stop() override;
    void next() override;
    void previous() override;
    void bringForward() override;
    void quit() override;
    bool hasAudioOutput() override;

signals:
    // The window's own events: a mouse move over its surface (not over a control), and its
    // unload when it is closed, which comes once and never cancels the closing.
    void MouseMove();
    void Unload();
    // Once, from the event loop after the window's first paint: what need not be ready
    // before the window is seen starts here.
    void shownOnScreen();
    // The window's state is whole again and may have changed: after the outermost handler
    // that run() has run, whether it ended or failed, never after one nested in it (a field's
    // change inside a tick, whose writes are half done), and after settle(). Not once the
    // window is closing.
    void settled();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void createControls();
    void showNextMessage();

    Platform m_platform;
    AlarmSetting m_alarmSetting {*m_platform.clock};
    TransportStatus m_transportStatus;
    std::unique_ptr<FileSystem> m_fso;
    std::unique_ptr<MediaPlayer> m_mpPlayer;
    std::unique_ptr<Collection> m_colPlaylist;
    QStringList m_pendingMessages;
    QPointer<QMessageBox> m_messageBox;
    bool m_closing = false;
    bool m_unloaded = false;
    int m_handlersRunning = 0;
    bool m_painted = false;
};
