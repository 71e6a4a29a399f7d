#include "platform/linux/alsa_sound_player.h"

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <mutex>

namespace tarnwick {
namespace {

// ALSA reports through this handler what it would print on stderr (missing cards, bad
// configuration): a monitor without a sound device stays quiet.
void SilentAlsaError(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/,
                     const char* /*fmt*/, ...) {}

void InstallSilentErrorHandler() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&SilentAlsaError); });
}

enum class PlayResult { NoDevice, Refused, Played };

PlayResult PlaySamples(const int16_t* samples, size_t frames, int channels, int rate) {
  InstallSilentErrorHandler();
  snd_pcm_t* pcm = nullptr;
  // Opened without blocking so that a device held by another program answers at once instead
  // of stalling the monitor; writes and the drain then block.
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
    return PlayResult::NoDevice;
  }
  if (snd_pcm_nonblock(pcm, 0) < 0 ||
      snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                         static_cast<unsigned>(channels), static_cast<unsigned>(rate),
                         1 /* software resampling */, 100000 /* latency, us */) < 0) {
    snd_pcm_close(pcm);
    return PlayResult::Refused;
  }
  const int16_t* at = samples;
  size_t left = frames;
  while (left > 0) {
    snd_pcm_sframes_t written = snd_pcm_writei(pcm, at, left);
    if (written == -EAGAIN) continue;
    if (written < 0) {
      // An underrun or a suspend: recover and go on; anything else ends the sound.
      if (snd_pcm_recover(pcm, static_cast<int>(written), 1 /* silent */) < 0) break;
      continue;
    }
    at += static_cast<size_t>(written) * static_cast<size_t>(channels);
    left -= static_cast<size_t>(written);
  }
  snd_pcm_drain(pcm);
  snd_pcm_close(pcm);
  return PlayResult::Played;
}

}  // namespace

AlsaSoundPlayer::AlsaSoundPlayer() {
  InstallSilentErrorHandler();
}

std::vector<int16_t> AlsaSoundPlayer::BeepSamples() {
  constexpr double kPi = 3.14159265358979323846;
  constexpr double kFrequency = 880.0;
  constexpr int kFadeFrames = kBeepRate / 200;  // 5 ms ramps keep the edges from clicking
  std::vector<int16_t> samples(kBeepFrames);
  for (int i = 0; i < kBeepFrames; ++i) {
    double gain = 0.5;
    if (i < kFadeFrames) gain *= static_cast<double>(i) / kFadeFrames;
    if (kBeepFrames - 1 - i < kFadeFrames) {
      gain *= static_cast<double>(kBeepFrames - 1 - i) / kFadeFrames;
    }
    const double value = gain * std::sin(2.0 * kPi * kFrequency * i / kBeepRate);
    samples[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(value * 32767.0));
  }
  return samples;
}

bool AlsaSoundPlayer::Play(const int16_t* samples, size_t frames, int channels, int rate) {
  return PlaySamples(samples, frames, channels, rate) == PlayResult::Played;
}

void AlsaSoundPlayer::PlayWav(const std::string& path) {
  InstallSilentErrorHandler();
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file != nullptr) {
    std::vector<int16_t> samples;
    bool decoded = info.channels > 0 && info.samplerate > 0 && info.frames >= 0;
    if (decoded) {
      samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
      const sf_count_t got = sf_readf_short(file, samples.data(), info.frames);
      decoded = got > 0;
      if (decoded) samples.resize(static_cast<size_t>(got) * static_cast<size_t>(info.channels));
    }
    sf_close(file);
    if (decoded) {
      const PlayResult result = PlaySamples(samples.data(), samples.size() / info.channels,
                                            info.channels, info.samplerate);
      // Played, or no device at all: nothing more to do. A device that refuses the file's
      // format still gets the beep.
      if (result != PlayResult::Refused) return;
    }
  }
  const std::vector<int16_t> beep = BeepSamples();
  PlaySamples(beep.data(), beep.size(), 1, kBeepRate);
}

}  // namespace tarnwick
