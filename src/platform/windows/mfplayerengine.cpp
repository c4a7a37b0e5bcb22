// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/mfplayerengine.h"
#include "platform/host/hostmediaplayer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <wrl/client.h>

#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// Media Foundation counts time in 100-nanosecond units.
constexpr qint64 unitsPerMs = 10000;
// How long a closing session may take to say it has closed before it is shut down anyway.
constexpr int closeWaitMs = 2000;

// The topology of a song: its first audio stream to the audio renderer, every other stream
// (a cover picture, say) left out. None when the file holds no audio.
ComPtr<IMFTopology> audioTopology(IMFMediaSource *source)
{
    ComPtr<IMFPresentationDescriptor> presentation;
    ComPtr<IMFTopology> topology;
    DWORD streams = 0;
    if (FAILED(source->CreatePresentationDescriptor(&presentation))
        || FAILED(presentation->GetStreamDescriptorCount(&streams))
        || FAILED(MFCreateTopology(&topology)))
        return nullptr;
    bool audio = false;
    for (DWORD i = 0; i < streams; ++i) {
        BOOL selected = FALSE;
        ComPtr<IMFStreamDescriptor> stream;
        ComPtr<IMFMediaTypeHandler> types;
        GUID major = GUID_NULL;
        if (FAILED(presentation->GetStreamDescriptorByIndex(i, &selected, &stream))
            || FAILED(stream->GetMediaTypeHandler(&types)) || FAILED(types->GetMajorType(&major))
            || !selected || major != MFMediaType_Audio || audio) {
            presentation->DeselectStream(i);
            continue;
        }
        ComPtr<IMFTopologyNode> from;
        ComPtr<IMFTopologyNode> to;
        ComPtr<IMFActivate> renderer;
        if (FAILED(MFCreateTopologyNode(MF_TOPOLOGY_SOURCESTREAM_NODE, &from))
            || FAILED(from->SetUnknown(MF_TOPONODE_SOURCE, source))
            || FAILED(from->SetUnknown(MF_TOPONODE_PRESENTATION_DESCRIPTOR, presentation.Get()))
            || FAILED(from->SetUnknown(MF_TOPONODE_STREAM_DESCRIPTOR, stream.Get()))
            || FAILED(MFCreateAudioRendererActivate(&renderer))
            || FAILED(MFCreateTopologyNode(MF_TOPOLOGY_OUTPUT_NODE, &to))
            || FAILED(to->SetObject(renderer.Get())) || FAILED(topology->AddNode(from.Get()))
            || FAILED(topology->AddNode(to.Get())) || FAILED(from->ConnectOutput(0, to.Get(), 0)))
            return nullptr;
        audio = true;
    }
    return audio ? topology : nullptr;
}

} // namespace

// One song in a media session of its own: a song played again after its end starts afresh.
struct MfPlayerEngine::Song
{
    ComPtr<IMFMediaSource> source;
    ComPtr<IMFMediaSession> session;
    ComPtr<IMFPresentationClock> clock;
    // Found once the session has resolved the topology.
    ComPtr<IMFAudioStreamVolume> volume;

    ~Song() { close(); }

    bool open(const QString &hostPath)
    {
        const std::wstring path = QDir::toNativeSeparators(hostPath).toStdWString();
        ComPtr<IMFSourceResolver> resolver;
        ComPtr<IUnknown> found;
        MF_OBJECT_TYPE type = MF_OBJECT_INVALID;
        ComPtr<IMFClock> anyClock;
        if (FAILED(MFCreateSourceResolver(&resolver))
            || FAILED(resolver->CreateObjectFromURL(path.c_str(), MF_RESOLUTION_MEDIASOURCE,
                                                    nullptr, &type, &found))
            || FAILED(found.As(&source)))
            return false;
        const ComPtr<IMFTopology> topology = audioTopology(source.Get());
        return topology && SUCCEEDED(MFCreateMediaSession(nullptr, &session))
            && SUCCEEDED(session->SetTopology(0, topology.Get()))
            && SUCCEEDED(session->GetClock(&anyClock)) && SUCCEEDED(anyClock.As(&clock));
    }

    // From positionMs, or on from where it was paused when that is negative.
    bool start(qint64 positionMs)
    {
        PROPVARIANT at;
        PropVariantInit(&at);
        if (positionMs >= 0) {
            at.vt = VT_I8;
            at.hVal.QuadPart = positionMs * unitsPerMs;
        }
        return SUCCEEDED(session->Start(&GUID_NULL, &at));
    }

    void findVolume(float level)
    {
        if (FAILED(MFGetService(session.Get(), MR_STREAM_VOLUME_SERVICE, IID_PPV_ARGS(&volume))))
            return;
        setLevel(level);
    }

    void setLevel(float level)
    {
        UINT32 channels = 0;
        if (!volume || FAILED(volume->GetChannelCount(&channels)))
            return;
        const std::vector<float> levels(channels, level);
        volume->SetAllVolumes(channels, levels.data());
    }

    // The session's next event, if one has come.
    ComPtr<IMFMediaEvent> nextEvent()
    {
        ComPtr<IMFMediaEvent> event;
        if (FAILED(session->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event)))
            return nullptr;
        return event;
    }

    // A session ends its work after Close, and only then may it be shut down.
    void close()
    {
        if (session && SUCCEEDED(session->Close())) {
            const QDeadlineTimer deadline(closeWaitMs);
            MediaEventType type = MEUnknown;
            while (!deadline.hasExpired() && type != MESessionClosed) {
                const ComPtr<IMFMediaEvent> event = nextEvent();
                if (!event || FAILED(event->GetType(&type)))
                    QThread::msleep(5);
            }
        }
        if (source)
            source->Shutdown();
        if (session)
            session->Shutdown();
        volume.Reset();
        clock.Reset();
        session.Reset();
        source.Reset();
    }
};

MfPlayerEngine::MfPlayerEngine()
{
    // The player's thread joins COM's free-threaded apartment, as Media Foundation's own
    // threads do.
    m_com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    m_started = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE));
}

MfPlayerEngine::~MfPlayerEngine()
{
    m_song.reset();
    if (m_started)
        MFShutdown();
    if (m_com)
        CoUninitialize();
}

void MfPlayerEngine::load(const QString &hostPath)
{
    m_song.reset();
    m_paused = false;
    m_positionMs = 0;
    m_song = std::make_unique<Song>();
    if (!m_started || !m_song->open(hostPath)) {
        endSong(Status::Failed);
        return;
    }
    m_status = Status::Opening;
}

void MfPlayerEngine::unload()
{
    endSong(Status::Empty);
}

void MfPlayerEngine::setPaused(bool paused)
{
    m_paused = paused;
    if (!m_song || m_status == Status::Opening)
        return;
    if (paused && SUCCEEDED(m_song->session->Pause()))
        m_status = Status::Paused;
    else if (!paused && m_song->start(-1))
        m_status = Status::Playing;
}

void MfPlayerEngine::setLevel(float level)
{
    m_level = level;
    if (m_song)
        m_song->setLevel(level);
}

float MfPlayerEngine::appliedLevel() const
{
    float level = -1.0f;
    if (!m_song || !m_song->volume || FAILED(m_song->volume->GetChannelVolume(0, &level)))
        return -1.0f;
    return level;
}

void MfPlayerEngine::update()
{
    while (m_song) {
        const ComPtr<IMFMediaEvent> event = m_song->nextEvent();
        MediaEventType type = MEUnknown;
        HRESULT status = S_OK;
        if (!event || FAILED(event->GetType(&type)) || FAILED(event->GetStatus(&status)))
            break;
        UINT32 topology = 0;
        if (FAILED(status) || type == MEError) {
            endSong(Status::Failed);
        } else if (type == MESessionTopologyStatus
                   && SUCCEEDED(event->GetUINT32(MF_EVENT_TOPOLOGY_STATUS, &topology))
                   && topology == MF_TOPOSTATUS_READY) {
            // Started only now, with its level set: the renderer scales the samples as it
            // takes them, and Wine's takes half a second of them at once.
            m_song->findVolume(m_level);
            if (!m_song->start(0))
                endSong(Status::Failed);
        } else if (type == MESessionStarted && m_status == Status::Opening) {
            m_status = Status::Playing;
            if (m_paused)
                setPaused(true);
        } else if (type == MESessionEnded) {
            endSong(Status::Ended);
        }
    }
    MFTIME time = 0;
    if (m_song && m_status != Status::Opening && SUCCEEDED(m_song->clock->GetTime(&time)))
        m_positionMs = time / unitsPerMs;
}

void MfPlayerEngine::endSong(Status status)
{
    m_song.reset();
    m_status = status;
}

HostMediaPlayer::HostMediaPlayer(DriveTable drives)
    : ThreadedPlayer(std::move(drives), [] { return std::make_unique<MfPlayerEngine>(); })
{
}
