// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/songtone.h"

#include "watch/synthesisedtone.h"

#include <QDir>
#include <QtEndian>

#include <cstdio>

namespace {

constexpr int sampleRate = 22050;

// A WAV file's header for 16-bit samples, one channel, of the given data size.
QByteArray wavHeader(qsizetype dataBytes)
{
    QByteArray header;
    auto put32 = [&header](quint32 v) {
        v = qToLittleEndian(v);
        header.append(reinterpret_cast<const char *>(&v), 4);
    };
    auto put16 = [&header](quint16 v) {
        v = qToLittleEndian(v);
        header.append(reinterpret_cast<const char *>(&v), 2);
    };
    header += "RIFF";
    put32(quint32(36 + dataBytes));
    header += "WAVEfmt ";
    put32(16);
    put16(1); // PCM
    put16(1); // channels
    put32(sampleRate);
    put32(sampleRate * 2); // bytes per second
    put16(2); // bytes per frame
    put16(16); // bits per sample
    header += "data";
    put32(quint32(dataBytes));
    return header;
}

} // namespace

SongTone::SongTone(std::unique_ptr<MediaPlayer> player, DrivePath drivePath, int seconds)
    : m_player(std::move(player)), m_drivePath(std::move(drivePath)), m_seconds(seconds)
{
}

SongTone::~SongTone()
{
    stop();
}

void SongTone::start()
{
    if (m_player->PlayState() != MediaPlayer::Stopped)
        return;
    if (m_song.isEmpty() && !writeFile()) {
        std::fputs("Wakewell: the alarm tone cannot be played: its file cannot be written\n",
                   stderr);
        return;
    }
    m_player->Repeat(m_song);
}

void SongTone::stop()
{
    if (m_player->PlayState() != MediaPlayer::Stopped)
        m_player->Stop();
}

bool SongTone::writeFile()
{
    const QByteArray second = synthesisedtone::oneSecond(sampleRate);
    // Closed once written: Windows lets no player read a file that is open for writing, and
    // a QTemporaryFile stays open until it goes.
    m_folder.emplace(QDir::tempPath() + QStringLiteral("/wakewell-tone-XXXXXX"));
    QFile file(m_folder->filePath(QStringLiteral("tone.wav")));
    if (!m_folder->isValid() || !file.open(QIODevice::WriteOnly)
        || file.write(wavHeader(second.size() * m_seconds)) <= 0
        || file.write(second.repeated(m_seconds)) != second.size() * m_seconds)
        return false;
    file.close();
    m_song = m_drivePath(file.fileName()).value_or(QString());
    return !m_song.isEmpty();
}
