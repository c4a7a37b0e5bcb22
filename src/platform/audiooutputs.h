// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <memory>

// The machine's audio outputs as its sound system lists them (the sound server on Linux, Qt
// Multimedia on Windows): whether there is any, and a signal when they change. One for the
// process, made on first use from the window's thread and used there.
class AudioOutputs : public QObject
{
    Q_OBJECT

public:
    static AudioOutputs &machine()
    {
        static AudioOutputs outputs;
        return outputs;
    }
    ~AudioOutputs() override;

    bool any() const;

signals:
    void changed();

private:
    AudioOutputs();

    struct Private;
    std::unique_ptr<Private> d;
};
