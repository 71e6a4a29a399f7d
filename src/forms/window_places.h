// Where the History and Processes windows were left, by window and by screen, kept across runs in
// a small file of its own beside the settings files (setting.ini keeps its lines). A window opens
// at its place on the screen it opens on, fitted into that screen's available area.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

// Declared, not included: the Win32 views include this after windows.h, whose ReplaceFile macro
// would rename the service's method.
class IFileSystem;

inline constexpr std::string_view kWindowPlacesFileName = "windows.ini";
inline constexpr std::string_view kHistoryPlaceName = "history";
inline constexpr std::string_view kProcessesPlaceName = "processes";
inline constexpr std::string_view kWindowPlacesUnreadable =
    "Cannot read where the windows were left, they open in the middle: ";
inline constexpr std::string_view kWindowPlacesNotStored =
    "Where the windows were left could not be stored: ";

// The share of a screen's available width and height a window may take.
inline constexpr double kMostScreenShare = 0.9;

// A rectangle in the desktop's pixels (Qt: logical, Win32: physical); `left`/`top` may be
// negative on a screen left of or above the primary one.
struct PlaceRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PlaceRect&) const = default;
};

// The place a window opens at in `room` (a screen's available area): the stored place when there
// is one, else `preferred`'s size centred. Never wider or taller than the share of the room, nor
// smaller than `least` where the share has room for it, and wholly inside the room.
PlaceRect FitPlace(const std::optional<PlaceRect>& stored, int preferredWidth, int preferredHeight,
                   int leastWidth, int leastHeight, const PlaceRect& room);

class WindowPlaces {
 public:
  // `log` is told why the file could not be read or written.
  WindowPlaces(IFileSystem& files, std::string path, std::function<void(const std::string&)> log)
      : files_(files), path_(std::move(path)), log_(std::move(log)) {}

  // Reads the file; a missing file is no places, a broken or foreign line is passed over.
  void Load();
  // Writes every place; on failure the log says why and the reason is returned.
  std::optional<std::string> Save();

  std::optional<PlaceRect> Find(std::string_view window, std::string_view screen) const;
  // A screen name that could not be read back (empty, too long, a control character) is not kept.
  void Remember(std::string_view window, std::string_view screen, const PlaceRect& place);

  const std::string& path() const { return path_; }

 private:
  IFileSystem& files_;
  std::string path_;
  std::function<void(const std::string&)> log_;
  std::map<std::pair<std::string, std::string>, PlaceRect> places_;
};

}  // namespace tarnwick
