// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/fakenotifier.h"
#include "fakes/faketone.h"
#include "main/frmplayer.h"
#include "platform/keepawake.h"
#include "platform/waketimer.h"
#include "watch/alarmwatch.h"

#include <QStringList>

#include <memory>
#include <optional>

// The wake asked, and every call that asked it: "arm 2026-12-08T06:29:00Z", "cancel".
class FakeWakeTimer final : public WakeTimer
{
public:
    void arm(const QDateTime &when, const QDateTime &) override
    {
        armed = when;
        calls << QStringLiteral("arm ") + when.toUTC().toString(Qt::ISODate);
    }
    void cancel() override
    {
        armed.reset();
        calls << QStringLiteral("cancel");
    }

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

// Fakes of every way the alarm watch keeps the computer awake and wakes it.
struct FakePower
{
    FakeKeepAwake whileSet;
    FakeKeepAwake whileDue;
    FakeWakeTimer wake;
    ToneRecord tone;
    FakeNotifier notifier;

    // The watch over the window, with a real wake timer if given; to be destroyed before it.
    std::unique_ptr<AlarmWatch> watch(frmPlayer &f, WakeTimer *timer = nullptr)
    {
        return std::make_unique<AlarmWatch>(
            f.alarmSetting(), f.transportStatus(), f,
            MachinePower {whileSet, whileDue, timer ? *timer : wake},
            std::make_unique<FakeTone>(tone), notifier);
    }
};
