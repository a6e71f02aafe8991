// Playing PCM frames on the default ALSA device.
#pragma once

#include <platform/sound.h>

#include <atomic>

namespace kvp {

// Plays the data once; returns early when stop becomes true. False when no device could be
// opened (the sound is then silent).
bool AlsaPlay(const WaveFormat& wave, const std::atomic<bool>& stop);

}  // namespace kvp
