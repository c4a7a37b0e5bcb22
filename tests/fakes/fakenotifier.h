// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/notifier.h"

#include <QStringList>

// The summary of each notification, in order.
class FakeNotifier final : public Notifier
{
public:
    void notify(const QString &summary, const QString &) override { said << summary; }

    QStringList said;
};
