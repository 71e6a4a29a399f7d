// AlsaSoundPlayer through ALSA's file plugin: the "default" PCM writes what it is given to a raw
// file the test reads back. ALSA reads its configuration once per process, so each test sets
// ALSA_CONFIG_PATH before its first ALSA call, and ctest runs each test in a process of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "linux_test_support.h"
#include "platform/linux/alsa_sound_player.h"

namespace tarnwick {
namespace {

using linuxtest::ReadWholeFile;
using linuxtest::TempFolder;

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// A PCM WAV file of 16-bit samples, interleaved.
std::string WavBytes(const std::vector<int16_t>& samples, int channels, int rate) {
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  PutLe(out, 36 + dataBytes, 4);
  out += "WAVEfmt ";
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, static_cast<uint32_t>(channels), 2);
  PutLe(out, static_cast<uint32_t>(rate), 4);
  PutLe(out, static_cast<uint32_t>(rate * channels * 2), 4);
  PutLe(out, static_cast<uint32_t>(channels * 2), 2);
  PutLe(out, 16, 2);
  out += "data";
  PutLe(out, dataBytes, 4);
  for (int16_t s : samples) PutLe(out, static_cast<uint16_t>(s), 2);
  return out;
}

std::vector<int16_t> RawSamples(const std::string& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto lo = static_cast<uint8_t>(bytes[2 * i]);
    const auto hi = static_cast<uint8_t>(bytes[2 * i + 1]);
    samples[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
  }
  return samples;
}

// Points ALSA at a configuration whose default PCM is `pcm` (the body of pcm.!default).
void UseAlsaConfig(const TempFolder& folder, const std::string& pcm) {
  const std::string path = folder.Write("asound.conf", "pcm.!default {\n" + pcm + "\n}\n");
  setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
}

std::string CaptureConfig(const TempFolder& folder) {
  return "  type file\n  slave.pcm { type null }\n  file \"" + (folder / "out.raw") +
         "\"\n  format \"raw\"";
}

// Runs `play` with stderr sent to a file; what it wrote there.
template <typename F>
std::string StderrOf(const TempFolder& folder, F play) {
  const std::string path = folder / "stderr.txt";
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  FILE* capture = std::fopen(path.c_str(), "w");
  dup2(fileno(capture), STDERR_FILENO);
  play();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::fclose(capture);
  return ReadWholeFile(path);
}

// The captured samples start with `expected`; the plugin may pad the end with silence.
void ExpectPrefix(const std::vector<int16_t>& captured, const std::vector<int16_t>& expected) {
  ASSERT_GE(captured.size(), expected.size());
  size_t mismatches = 0;
  size_t first = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (captured[i] != expected[i] && mismatches++ == 0) first = i;
  }
  EXPECT_EQ(mismatches, 0u) << "first at sample " << first;
  for (size_t i = expected.size(); i < captured.size(); ++i) {
    ASSERT_EQ(captured[i], 0) << "padding at sample " << i;
  }
}

TEST(AlsaSoundPlayerTest, PlaysTheWavSamplesUnchanged) {
  TempFolder folder;
  UseAlsaConfig(folder, CaptureConfig(folder));
  constexpr int kChannels = 2;
  constexpr int kRate = 22050;
  std::vector<int16_t> samples(static_cast<size_t>(kRate) * 3 / 10 * kChannels);  // 0.3 s
  for (size_t i = 0; i < samples.size(); ++i) {
    // Left: a ramp over the whole range; right: a 440 Hz tone.
    samples[i] = i % 2 == 0 ? static_cast<int16_t>((i * 37) % 65536 - 32768)
                            : static_cast<int16_t>(std::lround(
                                  12000 * std::sin(2 * M_PI * 440.0 * double(i / 2) / kRate)));
  }
  const std::string wav = folder.Write("tone.wav", WavBytes(samples, kChannels, kRate));
  AlsaSoundPlayer player;
  const std::string err = StderrOf(folder, [&] { player.PlayWav(wav); });
  EXPECT_EQ(err, "");
  ExpectPrefix(RawSamples(ReadWholeFile(folder / "out.raw")), samples);
}

TEST(AlsaSoundPlayerTest, MissingFilePlaysTheBeep) {
  TempFolder folder;
  UseAlsaConfig(folder, CaptureConfig(folder));
  AlsaSoundPlayer player;
  const std::string err = StderrOf(folder, [&] { player.PlayWav(folder / "missing.wav"); });
  EXPECT_EQ(err, "");
  const std::vector<int16_t> captured = RawSamples(ReadWholeFile(folder / "out.raw"));
  ASSERT_GE(captured.size(), static_cast<size_t>(AlsaSoundPlayer::kBeepFrames));
  int peak = 0;
  for (size_t i = 0; i < static_cast<size_t>(AlsaSoundPlayer::kBeepFrames); ++i) {
    peak = std::max(peak, std::abs(static_cast<int>(captured[i])));
  }
  EXPECT_GT(peak, 8000);  // not silence
  ExpectPrefix(captured, AlsaSoundPlayer::BeepSamples());
}

TEST(AlsaSoundPlayerTest, UndecodableOrBlankPathPlaysTheBeep) {
  TempFolder folder;
  UseAlsaConfig(folder, CaptureConfig(folder));
  AlsaSoundPlayer player;
  const std::string junk = folder.Write("junk.wav", "RIFF this is not a wave file at all");
  player.PlayWav(junk);
  ExpectPrefix(RawSamples(ReadWholeFile(folder / "out.raw")), AlsaSoundPlayer::BeepSamples());
  player.PlayWav("   ");  // the caller skips blank names; here it must only not crash
  ExpectPrefix(RawSamples(ReadWholeFile(folder / "out.raw")), AlsaSoundPlayer::BeepSamples());
}

// Plays a 2 s file and a missing one with `pcm` as the default PCM, which cannot open.
void ExpectQuickAndQuiet(const std::string& pcm) {
  TempFolder folder;
  UseAlsaConfig(folder, pcm);
  std::vector<int16_t> twoSeconds(44100 * 2, 1000);
  const std::string wav = folder.Write("long.wav", WavBytes(twoSeconds, 1, 44100));
  AlsaSoundPlayer player;
  const auto start = std::chrono::steady_clock::now();
  const std::string err = StderrOf(folder, [&] {
    player.PlayWav(wav);
    player.PlayWav(folder / "missing.wav");
  });
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(err, "");
  // Not a timing of the code: a player that waited for a device or played would take 2 s.
  EXPECT_LT(took, std::chrono::milliseconds(1000));
}

TEST(AlsaSoundPlayerTest, WithoutADeviceReturnsAtOnceAndQuietly) {
  ExpectQuickAndQuiet("  type hw\n  card 99");
}

// Configurations ALSA complains about on stderr unless the player silenced it.
TEST(AlsaSoundPlayerTest, UnknownCardNameIsQuiet) {
  ExpectQuickAndQuiet("  type hw\n  card \"nosuchcard\"");
}

TEST(AlsaSoundPlayerTest, MissingSlaveIsQuiet) {
  ExpectQuickAndQuiet("  type plug\n  slave.pcm \"hw:99\"");
}

}  // namespace
}  // namespace tarnwick
