// WindowsSoundPlayer through Wine's ALSA driver into ALSA's file plugin: the "default" PCM writes
// what it is given to a raw file the test reads back. Wine's driver reads ALSA_CONFIG_PATH from
// the environment ctest gives the test, set in tests/windows/CMakeLists.txt, which also names the
// capture file (TARNWICK_SOUND_CAPTURE). Every case runs in a process of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/windows/wide_text.h"
#include "platform/windows/windows_sound_player.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::string MonoWav(const std::string& pcm, int rate) {
  std::string out = "RIFF";
  PutLe(out, static_cast<uint32_t>(36 + pcm.size()), 4);
  out += "WAVEfmt ";
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);
  PutLe(out, 1, 2);
  PutLe(out, static_cast<uint32_t>(rate), 4);
  PutLe(out, static_cast<uint32_t>(rate * 2), 4);
  PutLe(out, 2, 2);
  PutLe(out, 16, 2);
  out += "data";
  PutLe(out, static_cast<uint32_t>(pcm.size()), 4);
  return out + pcm;
}

class WindowsSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* config = std::getenv("ALSA_CONFIG_PATH");
    if (config == nullptr || std::string(config).find("capture") == std::string::npos) {
      GTEST_SKIP() << "runs with the capture configuration only";
    }
    capture_ = TARNWICK_SOUND_CAPTURE;
    std::error_code ignored;
    std::filesystem::remove(capture_, ignored);
  }
  std::string Captured() const { return testing::ReadFile(capture_); }

  std::string capture_;
  testing::TempDir dir;
  WindowsSoundPlayer player;
};

// The data the device got starts with the file's samples; a driver may pad the end with silence.
TEST_F(WindowsSoundTest, PlaysTheWavFileSampleForSample) {
  std::string pcm;
  for (int i = 0; i < 22050; ++i) PutLe(pcm, static_cast<uint16_t>((i * 37) % 20000 - 10000), 2);
  testing::WriteFile(dir / "alert.wav", MonoWav(pcm, 44100));
  player.PlayWav(win::Utf8((dir.path() / L"alert.wav").wstring()));
  const std::string captured = Captured();
  ASSERT_GE(captured.size(), pcm.size());
  EXPECT_TRUE(captured.compare(0, pcm.size(), pcm) == 0);
}

TEST_F(WindowsSoundTest, FileThatCannotBePlayedGetsTheBuiltInBeep) {
  const std::string beep = WindowsSoundPlayer::BeepWav();
  const std::string beepData = beep.substr(44);
  for (const char* name : {"missing.wav", "broken.wav"}) {
    std::filesystem::remove(capture_);
    if (std::string(name) == "broken.wav") testing::WriteFile(dir / name, "RIFF not a wave");
    player.PlayWav(win::Utf8((dir.path() / name).wstring()));
    const std::string captured = Captured();
    ASSERT_GE(captured.size(), beepData.size()) << name;
    EXPECT_TRUE(captured.compare(0, beepData.size(), beepData) == 0) << name;
  }
}

// Without a sound device: returns at once and quietly (TARNWICK_NO_SOUND_DEVICE runs it with an
// ALSA configuration whose default device cannot be opened).
TEST(WindowsSoundNoDevice, ReturnsAtOnce) {
  if (std::getenv("TARNWICK_NO_SOUND_DEVICE") == nullptr) GTEST_SKIP() << "needs no device";
  testing::TempDir dir;
  WindowsSoundPlayer player;
  const auto start = std::chrono::steady_clock::now();
  player.PlayWav(win::Utf8((dir.path() / L"missing.wav").wstring()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace tarnwick
