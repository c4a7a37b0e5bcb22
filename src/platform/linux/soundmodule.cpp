// SPDX-License-Identifier: GPL-3.0-or-later
// The program's side of the sound module: loading it, and what is made on it.
#include "platform/linux/soundmodule.h"

#include "platform/audiooutputs.h"
#include "platform/host/hostmediaplayer.h"
#include "platform/host/hostsoundoutput.h"

#include <QThreadPool>
#include <QTimer>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <utility>

namespace {

using namespace std::chrono_literals;
constexpr auto firstListing = 2s;

// Installed, the module lies in the program's private folder beside the wake helper, at
// WAKEWELL_SOUND_MODULE from the program's own folder. A program run from the build folder
// (the program, a test, a measurement) takes the module built there.
std::filesystem::path modulePath()
{
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto build = std::filesystem::weakly_canonical(WAKEWELL_BUILD_DIR, error);
    if (!build.empty()
        && std::mismatch(build.begin(), build.end(), program.begin(), program.end()).first
            == build.end())
        return build / WAKEWELL_SOUND_MODULE_NAME;
    return program.parent_path() / WAKEWELL_SOUND_MODULE;
}

// Without the module no song can play: each fails at once, as a song that cannot be played.
class NoEngine final : public PlayerEngine
{
public:
    void load(const QString &) override { m_status = Status::Failed; }
    void unload() override { m_status = Status::Empty; }
    void setPaused(bool) override { }
    void setLevel(float) override { }
    float appliedLevel() const override { return -1.0f; }
    void update() override { }
    Status status() const override { return m_status; }
    qint64 positionMs() const override { return 0; }

private:
    Status m_status = Status::Empty;
};

} // namespace

SoundModule *SoundModule::load()
{
    static SoundModule *const module = []() -> SoundModule * {
        const std::string path = modulePath().string();
        void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        void *entry = library ? dlsym(library, "wakewell_sound_module") : nullptr;
        if (!entry) {
            std::fprintf(stderr,
                         "Wakewell: the sound module cannot be loaded, no song can play: %s\n",
                         dlerror());
            return nullptr;
        }
        return reinterpret_cast<decltype(&wakewell_sound_module)>(entry)();
    }();
    return module;
}

void SoundModule::loadAhead()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QThreadPool::globalInstance()->start([] {
            if (SoundModule *module = load())
                module->loadPlugins();
        });
    });
}

HostMediaPlayer::HostMediaPlayer(DriveTable drives)
    : ThreadedPlayer(std::move(drives), []() -> std::unique_ptr<PlayerEngine> {
          if (SoundModule *module = SoundModule::load())
              return module->createEngine();
          return std::make_unique<NoEngine>();
      })
{
}

// The outputs as the sound server counts them, on the module's connection to it.
struct AudioOutputs::Private
{
    std::unique_ptr<SoundServer> server;
    int outputs = 0;

    void count(AudioOutputs &q, int n)
    {
        const bool first = !std::exchange(q.m_listed, true);
        if (!first && outputs == n)
            return;
        outputs = n;
        // Queued: a listing read while an alarm's change is sent must not run the window's
        // handlers inside the alarm's.
        if (first)
            QMetaObject::invokeMethod(&q, &AudioOutputs::listed, Qt::QueuedConnection);
        QMetaObject::invokeMethod(&q, &AudioOutputs::changed, Qt::QueuedConnection);
    }
};

AudioOutputs::AudioOutputs() : d(new Private)
{
    m_listed = false;
    SoundModule *module = SoundModule::load();
    if (!module) {
        d->count(*this, 0);
        return;
    }
    d->server = module->connectServer([this](int n) { d->count(*this, n); });
    QTimer::singleShot(firstListing, this, [this] {
        if (!m_listed)
            d->count(*this, 0);
    });
}

AudioOutputs::~AudioOutputs() = default;

bool AudioOutputs::any() const
{
    return !m_listed || d->outputs > 0;
}

void HostSoundOutput::makeAudible()
{
    if (SoundServer *server = AudioOutputs::machine().d->server.get())
        server->makeAudible();
}
