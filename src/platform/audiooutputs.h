// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>
#include <memory>

// The machine's audio outputs as its sound system lists them (the sound server on Linux, Qt
// Multimedia on Windows): whether there is any, and a signal when they change. One for the
// process, made on first use from the window's thread and used there; nothing here waits.
// The sound server lists its outputs some milliseconds after the first use: until then an
// output is presumed, and a server that has listed none within two seconds counts as having
// none until it does.
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

    // Runs then once the outputs are listed: at once when they are (always on Windows),
    // otherwise in context's thread when the first listing comes or is given up.
    void whenListed(QObject *context, const std::function<void()> &then)
    {
        if (m_listed)
            then();
        else
            connect(this, &AudioOutputs::listed, context, then, Qt::SingleShotConnection);
    }

signals:
    void changed();
    // The first listing has come, or has been given up.
    void listed();

private:
    AudioOutputs();

    struct Private;
    std::unique_ptr<Private> d;
    // False on Linux until the sound server's first listing comes or is given up.
    bool m_listed = true;
    // On Linux the default output is raised through the same connection to the sound server.
    friend class HostSoundOutput;
};
