// The warning sound on Windows.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sound_player.h"

namespace tarnwick {

// PlaySoundW, synchronous, never the system's default sound. A file that cannot be played gets
// the built-in beep (0.2 s of 880 Hz, 16-bit mono at 44100 Hz) from memory; with no sound device
// PlaySoundW fails at once and nothing more is tried.
class WindowsSoundPlayer final : public ISoundPlayer {
 public:
  void PlayWav(const std::string& path) override;

  // The built-in beep as a whole WAV file.
  static std::string BeepWav();
};

}  // namespace tarnwick
