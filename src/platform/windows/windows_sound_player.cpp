#include "platform/windows/windows_sound_player.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <cmath>
#include <string_view>

#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

constexpr int kBeepRate = 44100;
constexpr int kBeepFrames = kBeepRate / 5;

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

std::string WindowsSoundPlayer::BeepWav() {
  constexpr double kPi = 3.14159265358979323846;
  constexpr double kFrequency = 880.0;
  constexpr int kFadeFrames = kBeepRate / 200;  // 5 ms ramps keep the edges from clicking
  constexpr uint32_t kDataBytes = kBeepFrames * 2;
  std::string wav = "RIFF";
  PutLe(wav, 36 + kDataBytes, 4);
  wav += "WAVEfmt ";
  PutLe(wav, 16, 4);
  PutLe(wav, 1, 2);  // PCM
  PutLe(wav, 1, 2);  // mono
  PutLe(wav, kBeepRate, 4);
  PutLe(wav, kBeepRate * 2, 4);
  PutLe(wav, 2, 2);
  PutLe(wav, 16, 2);
  wav += "data";
  PutLe(wav, kDataBytes, 4);
  for (int i = 0; i < kBeepFrames; ++i) {
    double gain = 0.5;
    if (i < kFadeFrames) gain *= static_cast<double>(i) / kFadeFrames;
    if (kBeepFrames - 1 - i < kFadeFrames) {
      gain *= static_cast<double>(kBeepFrames - 1 - i) / kFadeFrames;
    }
    const double value = gain * std::sin(2.0 * kPi * kFrequency * i / kBeepRate);
    PutLe(wav, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 32767.0))), 2);
  }
  return wav;
}

void WindowsSoundPlayer::PlayWav(const std::string& path) {
  const std::wstring file = win::Wide(path);
  if (!file.empty() && PlaySoundW(file.c_str(), nullptr, SND_FILENAME | SND_SYNC | SND_NODEFAULT)) {
    return;
  }
  // No output device: quiet. Otherwise the file was missing or not a WAV the system can play.
  if (waveOutGetNumDevs() == 0) return;
  static const std::string beep = BeepWav();
  (void)PlaySoundW(reinterpret_cast<LPCWSTR>(beep.data()), nullptr,
                   SND_MEMORY | SND_SYNC | SND_NODEFAULT);
}

}  // namespace tarnwick
