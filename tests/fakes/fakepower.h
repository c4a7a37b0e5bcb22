// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/fakenotifier.h"
#include "fakes/faketone.h"
#include "main/frmplayer.h"
#include "platform/desktop.h"
#include "watch/alarmwatch.h"

#include <QStringList>

#include <memory>
#include <optional>

// The wake asked, and every call that asked it: "arm 2026-12-08T06:29:00Z", "cancel". A wake
// armed is held once the test confirms it; a new one is not held until then.
class FakeWakeTimer final : public WakeTimer
{
public:
    void arm(const QDateTime &when, const QDateTime &) override
    {
        armed = when;
        calls << QStringLiteral("arm ") + when.toUTC().toString(Qt::ISODate);
        confirmed(false);
    }
    void cancel() override
    {
        armed.reset();
        calls << QStringLiteral("cancel");
        confirmed(false);
    }
    // The system has taken the wake armed, or has lost or refused it.
    void confirm(bool held) { confirmed(held); }

    std::optional<QDateTime> armed;
    QStringList calls;
};

class FakeKeepAwake final : public KeepAwake
{
public:
    void setHeld(bool h) override
    {
        letGo += held && !h;
        held = h;
    }
    bool held = false;
    // How often it went from held to let go: a lock let go even for a moment may be the
    // moment the computer sleeps.
    int letGo = 0;
};

// A desktop of fakes: every way the alarm watch keeps the computer awake and wakes it. The
// test tells of a sleep by calling the watch.
class FakePower final : public Desktop
{
public:
    FakeKeepAwake withoutWake;
    FakeKeepAwake whileSet;
    FakeKeepAwake whileDue;
    FakeWakeTimer wake;
    // A real wake timer in place of the fake, if set before the watch is made.
    WakeTimer *timer = nullptr;
    int preparedToPlay = 0;
    ToneRecord tone;
    FakeNotifier notes;

    MachinePower power() override
    {
        return {withoutWake, whileSet, whileDue, timer ? *timer : wake};
    }
    void prepareToPlay() override { ++preparedToPlay; }
    Notifier &notifier() override { return notes; }

    // The watch over the window; to be destroyed before it and before this.
    std::unique_ptr<AlarmWatch> watch(frmPlayer &f)
    {
        return std::make_unique<AlarmWatch>(f.alarmSetting(), f.transportStatus(), f, *this,
                                            std::make_unique<FakeTone>(tone));
    }
};
