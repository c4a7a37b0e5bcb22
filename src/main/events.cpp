// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/events.h"

#include "alarm/alarm.h"
#include "browser/browser.h"
#include "main/controls.h"
#include "main/startup.h"
#include "main/windowsizes.h"
#include "playback/playback.h"
#include "playlist/playlist.h"

namespace {

// Every event the window handles, and the handler it runs; no other event is handled.
void connectHandlers(frmPlayer &f)
{
    // The handler runs through the window's dispatcher each time the sender emits the signal.
    auto on = [&f](auto *sender, auto signal, void (*handler)(frmPlayer &)) {
        QObject::connect(sender, signal, &f,
                         [&f, handler] { f.run([&f, handler] { handler(f); }); });
    };
    // The hover colour of lblHide follows every mouse move: it cannot fail and changes
    // nothing but that colour, so it runs as it is, without the dispatcher and what it tells.
    auto hover = [&f](auto *sender, auto signal, void (*handler)(frmPlayer &)) {
        QObject::connect(sender, signal, &f, [&f, handler] { handler(f); });
    };

    on(&f, &frmPlayer::Unload, mainwindow::Form_Unload);
    hover(&f, &frmPlayer::MouseMove, windowsizes::formMouseMoved);
    on(f.Command2, &QPushButton::clicked, windowsizes::Command2Clicked);
    on(f.Picture1, &PictureBox::Click, windowsizes::Picture1Clicked);
    on(f.lblHide, &ClickLabel::Click, windowsizes::lblHideClicked);
    on(f.lblHide, &ClickLabel::DblClick, windowsizes::lblHideClicked);
    hover(f.lblHide, &ClickLabel::MouseMove, windowsizes::lblHideMouseMoved);
    // Armed again before the tick runs, so that the clock goes on whatever the tick does.
    QObject::connect(f.Timer2, &QTimer::timeout, &f, [&f] {
        alarms::armTimer2(f);
        f.run([&f] { alarms::Timer2Timeout(f); });
    });
    alarms::armTimer2(f);
    for (QLineEdit *field : {f.Text3, f.Text4, f.Text5})
        on(field, &QLineEdit::textChanged, alarms::countdownFieldChanged);
    on(f.cmbDrives, &QComboBox::activated, browser::cmbDrivesActivated);
    on(f.lstFiles, &QListWidget::itemClicked, browser::lstFilesClicked);
    on(f.cmdUp, &QPushButton::clicked, browser::cmdUpClicked);
    on(f.cmdAdd, &QPushButton::clicked, playlist::cmdAddClicked);
    on(f.cmdRemove, &QPushButton::clicked, playlist::cmdRemoveClicked);
    on(f.cmdClear, &QPushButton::clicked, playlist::cmdClearClicked);
    on(f.cmdPlay, &QPushButton::clicked, playback::cmdPlayClicked);
    on(f.cmdPause, &QPushButton::clicked, playback::cmdPauseClicked);
    on(f.cmdStop, &QPushButton::clicked, playback::cmdStopClicked);
    on(f.cmdBack, &QPushButton::clicked, playback::cmdBackClicked);
    on(f.cmdNext, &QPushButton::clicked, playback::cmdNextClicked);
    on(f.Command1, &QPushButton::clicked, playback::Command1Clicked);
    on(f.lstSelected, &QListWidget::itemDoubleClicked, playback::lstSelectedDoubleClicked);
    on(f.Timer1, &QTimer::timeout, playback::Timer1Timeout);
    on(f.slVolume, &QSlider::valueChanged, playback::slVolumeChanged);

    // The options and Text2 run no handler, yet change the alarm that is set.
    for (QRadioButton *option : {f.Option1, f.Option2})
        QObject::connect(option, &QRadioButton::toggled, &f, &frmPlayer::settle);
    QObject::connect(f.Text2, &QLineEdit::textChanged, &f, &frmPlayer::settle);
    // The transport first: an alarm's start of the playlist reads its count of songs played.
    QObject::connect(&f, &frmPlayer::settled, &f, [&f] {
        playback::publishStatus(f);
        alarms::publishSetting(f);
    });
}

} // namespace

std::unique_ptr<frmPlayer> events::loadWindow(Platform platform)
{
    auto f = std::make_unique<frmPlayer>(std::move(platform));
    connectHandlers(*f);
    f->run([&f] { mainwindow::Form_Load(*f); });
    return f;
}
