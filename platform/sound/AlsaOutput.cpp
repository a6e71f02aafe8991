#include "AlsaOutput.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <mutex>

namespace kvp {

namespace {

// ALSA reports a missing card on stderr; a machine without sound is normal for us.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

bool AlsaPlay(const WaveFormat& wave, const std::atomic<bool>& stop) {
  static std::once_flag quiet;
  std::call_once(quiet, [] { snd_lib_error_set_handler(&QuietAlsaErrors); });

  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) return false;
  const snd_pcm_format_t format = wave.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, wave.channels, wave.sampleRate, 1, 100000) < 0) {
    snd_pcm_close(pcm);
    return false;
  }
  const size_t frameBytes = wave.channels * (wave.bitsPerSample / 8u);
  const size_t frames = wave.dataBytes / frameBytes;
  const size_t chunk = wave.sampleRate / 20;  // 50 ms, so a stop is heard quickly
  size_t done = 0;
  while (done < frames && !stop.load()) {
    const size_t n = frames - done < chunk ? frames - done : chunk;
    snd_pcm_sframes_t written = snd_pcm_writei(pcm, wave.data + done * frameBytes, n);
    if (written < 0) written = snd_pcm_recover(pcm, static_cast<int>(written), 1);
    if (written < 0) break;
    done += static_cast<size_t>(written);
  }
  if (stop.load()) {
    snd_pcm_drop(pcm);
  } else {
    snd_pcm_drain(pcm);
  }
  snd_pcm_close(pcm);
  return true;
}

}  // namespace kvp
