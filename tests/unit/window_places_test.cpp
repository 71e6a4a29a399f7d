// Where the History and Processes windows were left: the fit of a place into a screen's available
// area, and the file that keeps places across runs (read back by the next run, a broken or foreign
// line passed over, a failure in the log).
#include "forms/window_places.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_file_system.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

struct FitCase {
  const char* name;
  std::optional<PlaceRect> stored;
  PlaceRect room;
  PlaceRect expected;
};

void PrintTo(const FitCase& c, std::ostream* os) {
  *os << c.name;
}

// The window prefers 1000x860 and lays out down to 760x600.
const FitCase kFitCases[] = {
    {"NothingStoredOnABigScreenCentresThePreferredSize",
     std::nullopt,
     {0, 0, 1920, 1040},
     {460, 90, 1000, 860}},
    {"NothingStoredOnASmallScreenTakesNineTenths",
     std::nullopt,
     {0, 0, 1366, 728},
     {183, 36, 1000, 655}},
    {"AStoredPlaceThatFitsIsKept",
     PlaceRect{100, 50, 900, 600},
     {0, 0, 1920, 1040},
     {100, 50, 900, 600}},
    {"AStoredPlaceOnAScreenLeftOfThePrimaryIsKept",
     PlaceRect{-1800, 20, 900, 600},
     {-1920, 0, 1920, 1040},
     {-1800, 20, 900, 600}},
    {"APlaceLargerThanTheScreenNowShrinksToNineTenths",
     PlaceRect{0, 0, 1900, 1000},
     {0, 0, 1366, 728},
     {0, 0, 1229, 655}},
    {"APlacePastTheRightAndBottomEdgesMovesBackOn",
     PlaceRect{1200, 500, 900, 600},
     {0, 0, 1366, 728},
     {466, 128, 900, 600}},
    {"APlaceLeftOfTheScreenMovesOnIt",
     PlaceRect{-3000, -200, 900, 600},
     {0, 30, 1366, 728},
     {0, 30, 900, 600}},
    {"APlaceSmallerThanTheLayoutGrowsToIt",
     PlaceRect{10, 10, 200, 100},
     {0, 0, 1920, 1040},
     {10, 10, 760, 600}},
    {"On800x600TheLayoutGivesWayToNineTenths",
     PlaceRect{0, 0, 1000, 860},
     {0, 0, 800, 600},
     {0, 0, 720, 540}},
};

class FitPlaceTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitPlaceTest, PlaceIsWithinNineTenthsAndWhollyOnTheScreen) {
  const FitCase& c = GetParam();
  const PlaceRect fitted = FitPlace(c.stored, 1000, 860, 760, 600, c.room);
  EXPECT_EQ(fitted, c.expected) << fitted.left << "," << fitted.top << " " << fitted.width << "x"
                                << fitted.height;
  EXPECT_LE(fitted.width, c.room.width * kMostScreenShare);
  EXPECT_LE(fitted.height, c.room.height * kMostScreenShare);
  EXPECT_GE(fitted.left, c.room.left);
  EXPECT_LE(fitted.left + fitted.width, c.room.left + c.room.width);
}

INSTANTIATE_TEST_SUITE_P(Screens, FitPlaceTest, ::testing::ValuesIn(kFitCases),
                         [](const ::testing::TestParamInfo<FitCase>& p) {
                           return std::string(p.param.name);
                         });

class WindowPlacesFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  FakeFileSystem files;
  std::vector<std::string> log;

  std::string Path() const { return dir / "windows.ini"; }
  WindowPlaces Run() {
    WindowPlaces places(files, Path(), [this](const std::string& line) { log.push_back(line); });
    places.Load();
    return places;
  }
  void Write(const std::string& text) { std::ofstream(Path(), std::ios::binary) << text; }
};

TEST_F(WindowPlacesFileTest, APlaceLeftInOneRunIsFoundByTheNextPerWindowAndScreen) {
  {
    WindowPlaces first = Run();
    first.Remember(kHistoryPlaceName, "eDP-1", {100, 50, 900, 600});
    first.Remember(kHistoryPlaceName, "\\\\.\\DISPLAY2", {-1800, 20, 1000, 700});
    first.Remember(kProcessesPlaceName, "eDP-1", {30, 40, 800, 400});
    ASSERT_EQ(first.Save(), std::nullopt);
  }
  const WindowPlaces next = Run();
  EXPECT_EQ(next.Find(kHistoryPlaceName, "eDP-1"), (PlaceRect{100, 50, 900, 600}));
  EXPECT_EQ(next.Find(kHistoryPlaceName, "\\\\.\\DISPLAY2"), (PlaceRect{-1800, 20, 1000, 700}));
  EXPECT_EQ(next.Find(kProcessesPlaceName, "eDP-1"), (PlaceRect{30, 40, 800, 400}));
  EXPECT_EQ(next.Find(kProcessesPlaceName, "\\\\.\\DISPLAY2"), std::nullopt);
  EXPECT_TRUE(log.empty());
}

TEST_F(WindowPlacesFileTest, ABrokenOrForeignLineIsPassedOverAndTheRestRead) {
  Write(
      "history,10,20,900,600,HDMI-1\r\n"
      "processes,10,20,900\r\n"               // too few numbers
      "processes,1e3,20,900,600,HDMI-1\r\n"   // not a whole number
      "processes,10,20,0,600,eDP-1\r\n"       // no size
      "processes,10,20,900,999999,eDP-1\r\n"  // beyond any desktop
      "settings,10,20,900,600,eDP-1\r\n"      // no window of ours
      "history,10,20,900,600,\r\n"            // no screen
      "processes,10,20,900,600,eDP\x01-1\r\n"
      "\r\n"
      "processes,-5,7,800,400,Dell, Inc. 24\"\n");
  const WindowPlaces places = Run();
  EXPECT_EQ(places.Find(kHistoryPlaceName, "HDMI-1"), (PlaceRect{10, 20, 900, 600}));
  EXPECT_EQ(places.Find(kProcessesPlaceName, "Dell, Inc. 24\""), (PlaceRect{-5, 7, 800, 400}));
  EXPECT_EQ(places.Find(kProcessesPlaceName, "HDMI-1"), std::nullopt);
  EXPECT_EQ(places.Find(kProcessesPlaceName, "eDP-1"), std::nullopt);
  EXPECT_TRUE(log.empty());
}

TEST_F(WindowPlacesFileTest, AnUnreadableFileIsNoPlacesAndTheLogSaysWhy) {
  Write("history,10,20,900,600,HDMI-1\r\n");
  files.unreadable[Path()] = "Permission denied";
  const WindowPlaces places = Run();
  EXPECT_EQ(places.Find(kHistoryPlaceName, "HDMI-1"), std::nullopt);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], std::string(kWindowPlacesUnreadable) + "Permission denied");
}

TEST_F(WindowPlacesFileTest, AFailedSaveKeepsTheOldFileAndTheLogSaysWhy) {
  Write("history,10,20,900,600,HDMI-1\r\n");
  WindowPlaces places = Run();
  places.Remember(kHistoryPlaceName, "HDMI-1", {50, 60, 900, 600});
  files.replaceFails[Path()] = "Read-only file system";
  EXPECT_EQ(places.Save(), "Read-only file system");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], std::string(kWindowPlacesNotStored) + "Read-only file system");
  EXPECT_EQ(Run().Find(kHistoryPlaceName, "HDMI-1"), (PlaceRect{10, 20, 900, 600}));
}

TEST_F(WindowPlacesFileTest, AScreenNameThatCouldNotBeReadBackIsNotKept) {
  WindowPlaces places = Run();
  places.Remember(kHistoryPlaceName, "eDP-1\r\nprocesses,0,0,10,10,x", {1, 2, 900, 600});
  places.Remember(kHistoryPlaceName, std::string(300, 'A'), {1, 2, 900, 600});
  ASSERT_EQ(places.Save(), std::nullopt);
  std::ifstream in(Path(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "");
}

}  // namespace
}  // namespace tarnwick::testing
