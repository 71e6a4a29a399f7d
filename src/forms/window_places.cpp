#include "forms/window_places.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "platform/file_system.h"

namespace tarnwick {
namespace {

// A line is "window,left,top,width,height,screen"; the screen's name comes last because it may
// hold commas. A few windows on a few screens fit well within the limits.
constexpr size_t kPlacesFileLimit = 16 * 1024;
constexpr size_t kMostPlaces = 64;
constexpr size_t kMostScreenName = 128;
// Beyond any desktop; a number outside is no place of ours.
constexpr int kMostCoordinate = 100000;
constexpr int kMostSize = 100000;

bool KnownWindow(std::string_view window) {
  return window == kHistoryPlaceName || window == kProcessesPlaceName;
}

bool PlainName(std::string_view screen) {
  if (screen.empty() || screen.size() > kMostScreenName) return false;
  return std::none_of(screen.begin(), screen.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

bool PlausiblePlace(const PlaceRect& p) {
  const auto inRange = [](int v, int low, int high) { return v >= low && v <= high; };
  return inRange(p.left, -kMostCoordinate, kMostCoordinate) &&
         inRange(p.top, -kMostCoordinate, kMostCoordinate) && inRange(p.width, 1, kMostSize) &&
         inRange(p.height, 1, kMostSize);
}

// The next comma-ended field as a whole number; nothing else in it.
std::optional<int> TakeNumber(std::string_view& rest) {
  const size_t comma = rest.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::string_view field = rest.substr(0, comma);
  int value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc() || end != field.data() + field.size() || field.empty()) {
    return std::nullopt;
  }
  rest.remove_prefix(comma + 1);
  return value;
}

}  // namespace

PlaceRect FitPlace(const std::optional<PlaceRect>& stored, int preferredWidth, int preferredHeight,
                   int leastWidth, int leastHeight, const PlaceRect& room) {
  const int mostWidth = static_cast<int>(room.width * kMostScreenShare);
  const int mostHeight = static_cast<int>(room.height * kMostScreenShare);
  PlaceRect place;
  if (stored) {
    place = *stored;
  } else {
    place.width = preferredWidth;
    place.height = preferredHeight;
  }
  place.width = std::max(std::min(place.width, mostWidth), std::min(leastWidth, mostWidth));
  place.height = std::max(std::min(place.height, mostHeight), std::min(leastHeight, mostHeight));
  if (!stored) {
    place.left = room.left + (room.width - place.width) / 2;
    place.top = room.top + (room.height - place.height) / 2;
  }
  place.left = std::clamp(place.left, room.left, room.left + room.width - place.width);
  place.top = std::clamp(place.top, room.top, room.top + room.height - place.height);
  return place;
}

void WindowPlaces::Load() {
  places_.clear();
  const FileReadResult read = files_.ReadFile(path_, kPlacesFileLimit);
  if (read.status == FileReadStatus::Unreadable) {
    if (log_) log_(std::string(kWindowPlacesUnreadable) + read.reason);
    return;
  }
  if (read.status != FileReadStatus::Ok) return;
  std::string_view text = read.content;
  while (!text.empty() && places_.size() < kMostPlaces) {
    const size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) continue;
    const std::string_view window = line.substr(0, comma);
    std::string_view rest = line.substr(comma + 1);
    const auto left = TakeNumber(rest);
    const auto top = left ? TakeNumber(rest) : std::nullopt;
    const auto width = top ? TakeNumber(rest) : std::nullopt;
    const auto height = width ? TakeNumber(rest) : std::nullopt;
    if (!height || !KnownWindow(window) || !PlainName(rest)) continue;
    const PlaceRect place{*left, *top, *width, *height};
    if (!PlausiblePlace(place)) continue;
    places_[{std::string(window), std::string(rest)}] = place;
  }
}

std::optional<std::string> WindowPlaces::Save() {
  std::string text;
  for (const auto& [key, p] : places_) {
    text += key.first + "," + std::to_string(p.left) + "," + std::to_string(p.top) + "," +
            std::to_string(p.width) + "," + std::to_string(p.height) + "," + key.second + "\r\n";
  }
  const FileResult written = files_.ReplaceFile(path_, text);
  if (written.ok) return std::nullopt;
  if (log_) log_(std::string(kWindowPlacesNotStored) + written.reason);
  return written.reason;
}

std::optional<PlaceRect> WindowPlaces::Find(std::string_view window,
                                            std::string_view screen) const {
  const auto kept = places_.find({std::string(window), std::string(screen)});
  if (kept == places_.end()) return std::nullopt;
  return kept->second;
}

void WindowPlaces::Remember(std::string_view window, std::string_view screen,
                            const PlaceRect& place) {
  if (!KnownWindow(window) || !PlainName(screen) || !PlausiblePlace(place)) return;
  std::pair<std::string, std::string> key{std::string(window), std::string(screen)};
  if (!places_.contains(key) && places_.size() >= kMostPlaces) return;
  places_[std::move(key)] = place;
}

}  // namespace tarnwick
