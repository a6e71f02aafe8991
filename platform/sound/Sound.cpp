// PlaySound over the module's registered WAVE resources, on ALSA or a test sink.
#include <platform/sound.h>

#include "AlsaOutput.h"

#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace kvp {

namespace {

struct Resource {
  const void* bytes;
  size_t size;
};

std::mutex g_resourcesMutex;
std::map<std::pair<HMODULE, int>, Resource>& Resources() {
  static std::map<std::pair<HMODULE, int>, Resource> resources;
  return resources;
}

std::mutex g_sinkMutex;
SoundSink& Sink() {
  static SoundSink sink;
  return sink;
}

// The default sound: a short two-tone chime of our own.
const std::vector<uint8_t>& DefaultWave() {
  static const std::vector<uint8_t> wave = [] {
    const uint32_t rate = 22050;
    std::vector<int16_t> samples;
    for (double freq : {880.0, 660.0}) {
      const int n = static_cast<int>(rate * 0.12);
      for (int i = 0; i < n; ++i) {
        const double fade = 1.0 - static_cast<double>(i) / n;
        samples.push_back(static_cast<int16_t>(9000.0 * fade * std::sin(2.0 * M_PI * freq * i / rate)));
      }
    }
    return MakeWave(samples, rate);
  }();
  return wave;
}

// One sound at a time: a new one (or a stop) ends the one playing.
class Player {
 public:
  ~Player() { StopCurrent(); }

  void StopCurrent() {
    std::thread finished;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) stop_->store(true);
      finished = std::move(thread_);
    }
    if (finished.joinable()) finished.join();
  }

  void PlayAsync(const WaveFormat& wave, bool loop) {
    StopCurrent();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = stop;
    thread_ = std::thread([wave, loop, stop] {
      do {
        if (!AlsaPlay(wave, *stop)) break;  // no device: silent
      } while (loop && !stop->load());
    });
  }

  void PlaySync(const WaveFormat& wave) {
    StopCurrent();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = stop;
    }
    AlsaPlay(wave, *stop);
  }

 private:
  std::mutex mutex_;
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> stop_;
};

Player& ThePlayer() {
  static Player player;
  return player;
}

// Delivers to the sink when one is installed; false when the device should play.
bool Report(const SoundEvent& event) {
  SoundSink sink;
  {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    sink = Sink();
  }
  if (!sink) return false;
  sink(event);
  return true;
}

bool FindResource(HMODULE module, int id, WaveFormat& wave) {
  std::lock_guard<std::mutex> lock(g_resourcesMutex);
  auto it = Resources().find({module, id});
  return it != Resources().end() && ParseWave(it->second.bytes, it->second.size, wave);
}

}  // namespace

void RegisterSoundResource(HMODULE module, int id, const void* wave, size_t size) {
  std::lock_guard<std::mutex> lock(g_resourcesMutex);
  Resources()[{module, id}] = Resource{wave, size};
}

void UnregisterSoundResource(HMODULE module, int id) {
  std::lock_guard<std::mutex> lock(g_resourcesMutex);
  Resources().erase({module, id});
}

SoundSink SetSoundSink(SoundSink sink) {
  std::lock_guard<std::mutex> lock(g_sinkMutex);
  SoundSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

struct SoundRecording::State {
  mutable std::mutex mutex;
  std::vector<SoundEvent> events;
};

SoundRecording::SoundRecording() : state_(new State) {
  State* state = state_;
  previous_ = SetSoundSink([state](const SoundEvent& e) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->events.push_back(e);
  });
}

SoundRecording::~SoundRecording() {
  SetSoundSink(std::move(previous_));
  delete state_;
}

std::vector<SoundEvent> SoundRecording::Events() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->events;
}

}  // namespace kvp

BOOL PlaySound(LPCSTR sound, HMODULE module, DWORD flags) {
  using namespace kvp;
  if (!sound) {
    SoundEvent stop;
    stop.kind = SoundEvent::Kind::Stop;
    if (!Report(stop)) ThePlayer().StopCurrent();
    return TRUE;
  }
  WaveFormat wave;
  SoundEvent event;
  const bool isId = (reinterpret_cast<uintptr_t>(sound) >> 16) == 0;
  const int id = static_cast<int>(reinterpret_cast<uintptr_t>(sound));
  if ((flags & SND_RESOURCE) == SND_RESOURCE && isId && FindResource(module, id, wave)) {
    event.source = "resource:" + std::to_string(id);
  } else {
    if (flags & SND_NODEFAULT) return FALSE;
    const std::vector<uint8_t>& fallback = DefaultWave();
    ParseWave(fallback.data(), fallback.size(), wave);
    event.source = "default";
  }
  event.async = (flags & SND_ASYNC) != 0;
  event.loop = event.async && (flags & SND_LOOP) != 0;
  event.sampleRate = wave.sampleRate;
  event.channels = wave.channels;
  event.bitsPerSample = wave.bitsPerSample;
  event.dataBytes = wave.dataBytes;
  if (Report(event)) return TRUE;
  if (event.async) {
    ThePlayer().PlayAsync(wave, event.loop);
  } else {
    ThePlayer().PlaySync(wave);
  }
  return TRUE;
}
