// The generated icons, cursor and sounds beside the program are files the platform can use: Qt
// reads the icons at both sizes, and the sounds are the short 16-bit mono PCM the player plays.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "qt_test_app.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

std::string AssetPath(const char* name) {
  return std::string(TARNWICK_PROGRAM_DIR) + "/" + name;
}

QString QPath(const char* name) {
  return QString::fromStdString(AssetPath(name));
}

struct IconCase {
  const char* file;
  std::vector<int> sizes;
};

void PrintTo(const IconCase& c, std::ostream* os) {
  *os << c.file;
}

class IconAssetTest : public ::testing::TestWithParam<IconCase> {};

TEST_P(IconAssetTest, QtReadsEverySizeWithTransparentCornersAndADrawing) {
  EnsureQtApplication();
  const IconCase& c = GetParam();
  QImageReader reader(QPath(c.file));
  ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
  ASSERT_EQ(reader.imageCount(), static_cast<int>(c.sizes.size()));
  for (int size : c.sizes) {
    SCOPED_TRACE(size);
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), QSize(size, size));
    ASSERT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(qAlpha(image.pixel(0, size - 1)), 0);
    EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0);
    int drawn = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) drawn += qAlpha(image.pixel(x, y)) >= 128;
    }
    // A drawing, not a blank or a filled square.
    EXPECT_GT(drawn, size * size / 20);
    EXPECT_LT(drawn, size * size * 3 / 4);
    reader.jumpToNextImage();
  }
  EXPECT_FALSE(QIcon(QPath(c.file)).isNull());
}

INSTANTIATE_TEST_SUITE_P(Icons, IconAssetTest,
                         ::testing::Values(IconCase{"eyestop.ico", {32, 16}},
                                           IconCase{"eyerun.ico", {32, 16}},
                                           IconCase{"Hand-m.cur", {32}}),
                         [](const ::testing::TestParamInfo<IconCase>& p) {
                           std::string name = p.param.file;
                           for (char& ch : name) {
                             if (ch == '.' || ch == '-') ch = '_';
                           }
                           return name;
                         });

uint16_t U16(const std::string& data, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(data[at]) | static_cast<uint8_t>(data[at + 1])
                                                                    << 8);
}
uint32_t U32(const std::string& data, size_t at) {
  return static_cast<uint32_t>(U16(data, at)) | static_cast<uint32_t>(U16(data, at + 2)) << 16;
}

TEST(CursorAssetTest, HotspotIsAtTheFingertip) {
  const std::string cur = ReadFile(AssetPath("Hand-m.cur"));
  ASSERT_GE(cur.size(), 22u);
  EXPECT_EQ(U16(cur, 2), 2);  // a cursor, not an icon
  const uint16_t hotX = U16(cur, 6 + 4);
  const uint16_t hotY = U16(cur, 6 + 6);
  EnsureQtApplication();
  const QImage image(QPath("Hand-m.cur"));
  ASSERT_FALSE(image.isNull());
  // The hotspot is on the drawing, and nothing of the hand lies above it.
  EXPECT_GT(qAlpha(image.pixel(hotX, hotY)), 0);
  for (int y = 0; y < hotY; ++y) {
    for (int x = 0; x < image.width(); ++x) EXPECT_EQ(qAlpha(image.pixel(x, y)), 0);
  }
}

struct WavFormat {
  uint16_t format = 0;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
  uint32_t dataBytes = 0;
};

// The fmt and data chunks of a RIFF WAVE file; fails the test when they are missing.
WavFormat ReadWav(const std::string& data) {
  WavFormat wav;
  EXPECT_GE(data.size(), 44u);
  if (data.size() < 12) return wav;
  EXPECT_EQ(data.substr(0, 4), "RIFF");
  EXPECT_EQ(data.substr(8, 4), "WAVE");
  for (size_t at = 12; at + 8 <= data.size();) {
    const std::string id = data.substr(at, 4);
    const uint32_t size = U32(data, at + 4);
    if (id == "fmt " && at + 24 <= data.size()) {
      wav.format = U16(data, at + 8);
      wav.channels = U16(data, at + 10);
      wav.rate = U32(data, at + 12);
      wav.bits = U16(data, at + 22);
    } else if (id == "data") {
      wav.dataBytes = size;
      EXPECT_LE(at + 8 + size, data.size());
    }
    at += 8 + size + (size & 1);
  }
  return wav;
}

TEST(SoundAssetTest, AlertsAreHalfSecondMonoPcmAndDiffer) {
  std::string samples[2];
  int i = 0;
  for (const char* file : {"alert.wav", "alert1.wav"}) {
    SCOPED_TRACE(file);
    const std::string data = ReadFile(AssetPath(file));
    const WavFormat wav = ReadWav(data);
    EXPECT_EQ(wav.format, 1);  // PCM
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.rate, 22050u);
    EXPECT_EQ(wav.bits, 16);
    const double seconds = wav.dataBytes / 2.0 / 22050.0;
    EXPECT_GT(seconds, 0.3);
    EXPECT_LT(seconds, 0.8);
    samples[i++] = data.substr(data.size() - wav.dataBytes);
  }
  EXPECT_NE(samples[0], samples[1]);
}

}  // namespace
}  // namespace tarnwick::testing
