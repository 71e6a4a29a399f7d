// The warning sound through ALSA, decoded with libsndfile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound_player.h"

namespace tarnwick {

class AlsaSoundPlayer final : public ISoundPlayer {
 public:
  // Installs a silent ALSA error handler (once per process).
  AlsaSoundPlayer();
  // Plays the file on the "default" PCM and returns when it has drained. A file libsndfile
  // cannot open stands in for the built-in beep; when the PCM cannot be opened it returns at
  // once without a word on stderr.
  void PlayWav(const std::string& path) override;

  // The built-in beep: 0.2 s of 880 Hz, 16-bit mono at 44100 Hz.
  static constexpr int kBeepRate = 44100;
  static constexpr int kBeepFrames = kBeepRate / 5;
  static std::vector<int16_t> BeepSamples();

 private:
  // Plays interleaved 16-bit samples; false when the device cannot be opened or set up.
  static bool Play(const int16_t* samples, size_t frames, int channels, int rate);
};

}  // namespace tarnwick
