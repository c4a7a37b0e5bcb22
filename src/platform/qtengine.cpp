// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qtengine.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

#include <utility>

QtEngine::~QtEngine()
{
    unload();
}

void QtEngine::load(const QString &hostPath, qint64 positionMs, bool paused)
{
    unload();
    m_output = new QAudioOutput;
    m_output->setVolume(m_level);
    m_player = new QMediaPlayer;
    m_player->setAudioOutput(m_output);
    m_player->setSource(QUrl::fromLocalFile(hostPath));
    if (positionMs > 0)
        m_player->setPosition(positionMs);
    if (paused)
        m_player->pause();
    else
        m_player->play();
}

void QtEngine::unload()
{
    delete std::exchange(m_player, nullptr);
    delete std::exchange(m_output, nullptr);
}

void QtEngine::setPaused(bool paused)
{
    if (!m_player)
        return;
    if (paused)
        m_player->pause();
    else
        m_player->play();
}

void QtEngine::setLevel(float level)
{
    m_level = level;
    if (m_output)
        m_output->setVolume(level);
}

float QtEngine::appliedLevel() const
{
    return m_output ? m_output->volume() : -1.0f;
}

PlayerEngine::Status QtEngine::status() const
{
    if (!m_player)
        return Status::Empty;
    // Qt 6.4 with GStreamer stays at Playing when a file cannot be decoded; only the media
    // status tells.
    const auto media = m_player->mediaStatus();
    if (media == QMediaPlayer::InvalidMedia || m_player->error() != QMediaPlayer::NoError)
        return Status::Failed;
    if (media == QMediaPlayer::EndOfMedia)
        return Status::Ended;
    switch (m_player->playbackState()) {
    case QMediaPlayer::StoppedState:
        return Status::Ended;
    case QMediaPlayer::PausedState:
        return Status::Paused;
    case QMediaPlayer::PlayingState:
        break;
    }
    const bool sounding = media == QMediaPlayer::BufferedMedia
        || media == QMediaPlayer::BufferingMedia || m_player->position() > 0;
    return sounding ? Status::Playing : Status::Opening;
}

qint64 QtEngine::positionMs() const
{
    return m_player ? m_player->position() : 0;
}
