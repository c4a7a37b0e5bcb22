// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/playerengine.h"

#include <QFileInfo>
#include <QMutex>
#include <QSemaphore>
#include <QStringList>

// What the engine was asked, and what it answers: shared by the test's thread and the
// player's, which owns the engine.
struct EngineScript
{
    mutable QMutex lock;
    QStringList calls; // "load a.mp3 at 0", "pause", "resume", "unload"
    PlayerEngine::Status status = PlayerEngine::Status::Empty;
    PlayerEngine::Status afterLoad = PlayerEngine::Status::Playing; // what a loaded song reads
    qint64 position = 0;
    // When set, the next load waits until the test releases it.
    QSemaphore *holdLoad = nullptr;

    QStringList callsSoFar() const
    {
        const QMutexLocker locked(&lock);
        return calls;
    }
    void set(PlayerEngine::Status s, qint64 at = 0)
    {
        const QMutexLocker locked(&lock);
        status = s;
        position = at;
    }
};

// An engine that plays nothing: it answers as its script says, and writes down what it was
// asked.
class FakeEngine final : public PlayerEngine
{
public:
    explicit FakeEngine(EngineScript &script) : m_script(script) { }

    void load(const QString &hostPath) override
    {
        QSemaphore *hold = nullptr;
        {
            const QMutexLocker locked(&m_script.lock);
            m_script.status = m_script.afterLoad;
            m_script.position = 0;
            // The song and where it stands once loaded.
            m_script.calls << QStringLiteral("load %1 at %2")
                                  .arg(QFileInfo(hostPath).fileName())
                                  .arg(m_script.position);
            std::swap(hold, m_script.holdLoad);
        }
        if (hold)
            hold->acquire();
    }
    void unload() override { record(QStringLiteral("unload"), Status::Empty); }
    void setPaused(bool paused) override
    {
        record(paused ? QStringLiteral("pause") : QStringLiteral("resume"),
               paused ? Status::Paused : Status::Playing);
    }
    void setLevel(float) override { }
    float appliedLevel() const override { return -1.0f; }
    void update() override { }
    Status status() const override
    {
        const QMutexLocker locked(&m_script.lock);
        return m_script.status;
    }
    qint64 positionMs() const override
    {
        const QMutexLocker locked(&m_script.lock);
        return m_script.position;
    }

private:
    void record(const QString &call, Status status)
    {
        const QMutexLocker locked(&m_script.lock);
        m_script.calls << call;
        m_script.status = status;
    }

    EngineScript &m_script;
};
