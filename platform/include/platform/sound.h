// Sounds: PlaySound of WAVE data from a module's sound resources, synchronously (returns when the
// sound has ended), asynchronously, or looping until stopped; PlaySound(NULL, ...) stops whatever
// plays. Output goes to the default ALSA device when one can be opened and is silent otherwise.
// A missing (or unreadable) resource plays the default sound unless SND_NODEFAULT is given.
//
// Modules register their WAVE resources at static construction (RegisterSoundResource); tests
// install a recording sink that replaces the output and logs every start and stop.
#pragma once

#include <platform/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#define SND_SYNC 0x00000000u
#define SND_ASYNC 0x00000001u
#define SND_NODEFAULT 0x00000002u
#define SND_MEMORY 0x00000004u
#define SND_LOOP 0x00000008u
#define SND_NOSTOP 0x00000010u
#define SND_PURGE 0x00000040u
#define SND_RESOURCE 0x00040004u

extern "C" {
// sound: MAKEINTRESOURCE(id) (or null to stop) with SND_RESOURCE and the module that holds it.
// TRUE when a sound (the asked one or the default) was started or played, or a stop was done.
PLATFORM_API BOOL PlaySound(LPCSTR sound, HMODULE module, DWORD flags);
}

namespace kvp {

// Makes WAVE bytes a sound resource of a module. The bytes are not copied: they must stay valid
// while registered. Registering an id again replaces it.
PLATFORM_API void RegisterSoundResource(HMODULE module, int id, const void* wave, size_t size);
PLATFORM_API void UnregisterSoundResource(HMODULE module, int id);

// What a sink sees.
struct SoundEvent {
  enum class Kind { Play, Stop };
  Kind kind = Kind::Play;
  std::string source;  // "resource:<id>" or "default"; empty for a stop
  bool async = false;
  bool loop = false;
  uint32_t sampleRate = 0;
  uint16_t channels = 0;
  uint16_t bitsPerSample = 0;
  size_t dataBytes = 0;
};

// A sink replaces the device: sounds are not played, only reported (synchronous ones return at
// once). Null restores the device output. Returns the previous sink.
using SoundSink = std::function<void(const SoundEvent&)>;
PLATFORM_API SoundSink SetSoundSink(SoundSink sink);

// A recording sink for the life of the object.
class PLATFORM_API SoundRecording {
 public:
  SoundRecording();
  ~SoundRecording();
  SoundRecording(const SoundRecording&) = delete;
  SoundRecording& operator=(const SoundRecording&) = delete;
  std::vector<SoundEvent> Events() const;

 private:
  struct State;
  State* state_;
  SoundSink previous_;
};

// The parts of a WAVE file the player uses; false when the bytes are not PCM WAVE data with
// consistent lengths.
struct WaveFormat {
  uint32_t sampleRate = 0;
  uint16_t channels = 0;
  uint16_t bitsPerSample = 0;
  const uint8_t* data = nullptr;
  size_t dataBytes = 0;
};
PLATFORM_API bool ParseWave(const void* bytes, size_t size, WaveFormat& out);

// Builds a PCM WAVE file (mono, 16 bits) from samples.
PLATFORM_API std::vector<uint8_t> MakeWave(const std::vector<int16_t>& samples, uint32_t sampleRate);

}  // namespace kvp
