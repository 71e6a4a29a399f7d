// The warning sound.
#pragma once

#include <string>

namespace tarnwick {

class ISoundPlayer {
 public:
  virtual ~ISoundPlayer() = default;
  // Plays the WAV file and returns when it has ended. When the file cannot be played a short
  // built-in beep stands in; with no sound device it returns at once, quietly.
  virtual void PlayWav(const std::string& path) = 0;
};

}  // namespace tarnwick
