#include "settings/settings_file.h"

#include <algorithm>
#include <utility>

#include "common/text.h"
#include "settings/settings_store.h"

namespace tarnwick {

namespace {

struct Line {
  std::string_view text;
  std::string_view end;  // CR LF, LF, CR, or nothing on a last line without one
};

// The lines as SplitLines counts them, each with its own line end. No ANSI code page uses CR or
// LF inside a character, so the bytes split the same way before and after decoding.
std::vector<Line> SplitKeepingEnds(std::string_view content) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < content.size()) {
    const size_t stop = content.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      lines.push_back({content.substr(start), {}});
      break;
    }
    const bool crLf =
        content[stop] == '\r' && stop + 1 < content.size() && content[stop + 1] == '\n';
    const size_t endLength = crLf ? 2 : 1;
    lines.push_back({content.substr(start, stop - start), content.substr(stop, endLength)});
    start = stop + endLength;
  }
  return lines;
}

// The text a line holds: a scrambled line's password, read the way the parsers read it.
std::string PlainText(const Line& line, bool scrambled) {
  return scrambled ? DecodeText("", Trim(line.text)) : std::string(line.text);
}

bool Contains(const std::vector<size_t>& numbers, size_t number) {
  return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

}  // namespace

std::string SettingsTextFromFile(std::string_view bytes, const std::vector<size_t>& scrambledLines,
                                 const SettingsCodePage& codePage) {
  const std::vector<Line> lines = SplitKeepingEnds(bytes);
  bool utf8 = true;
  for (size_t i = 0; i < lines.size() && utf8; ++i) {
    utf8 = IsWellFormedUtf8(PlainText(lines[i], Contains(scrambledLines, i)));
  }
  if (utf8) return std::string(bytes);
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (Contains(scrambledLines, i)) {
      // Scrambled again only when the password changed, so a line of ASCII stays byte for byte.
      const std::string password = PlainText(lines[i], true);
      const std::string decoded = codePage.fromCodePage(password);
      out += decoded == password ? std::string(lines[i].text) : EncodeText("", decoded);
    } else {
      out += codePage.fromCodePage(lines[i].text);
    }
    out += lines[i].end;
  }
  return out;
}

std::string SettingsTextForFile(std::string_view text, const std::vector<size_t>& scrambledLines,
                                const SettingsCodePage& codePage) {
  const std::vector<Line> lines = SplitKeepingEnds(text);
  std::string stored;
  for (size_t i = 0; i < lines.size(); ++i) {
    const bool scrambled = Contains(scrambledLines, i);
    const std::string plain = PlainText(lines[i], scrambled);
    const std::optional<std::string> inCodePage = codePage.toCodePage(plain);
    if (!inCodePage) return std::string(text);
    if (!scrambled) {
      stored += *inCodePage;
    } else {
      stored += *inCodePage == plain ? std::string(lines[i].text) : EncodeText("", *inCodePage);
    }
    stored += lines[i].end;
  }
  if (SettingsTextFromFile(stored, scrambledLines, codePage) != text) return std::string(text);
  return stored;
}

SettingsFile::SettingsFile(IFileSystem& files, std::string path, std::vector<size_t> scrambledLines)
    : files_(files), path_(std::move(path)), scrambledLines_(std::move(scrambledLines)) {}

SettingsFile::Loaded SettingsFile::Load() {
  files_.RemoveStaleTemporaries(path_);
  Loaded loaded;
  FileReadResult read = files_.ReadFile(path_, kSettingsFileLimit);
  switch (read.status) {
    case FileReadStatus::Missing:
      unreadable_.reset();
      return loaded;
    case FileReadStatus::Unreadable:
      loaded.exists = true;
      unreadable_ = read.reason;
      loaded.notices.push_back(std::string(kUnreadableLogStart) + path_ + ": " + read.reason +
                               std::string(kUnreadableLogEnd));
      return loaded;
    case FileReadStatus::Ok:
      break;
  }
  loaded.exists = true;
  unreadable_.reset();
  if (read.truncated) {
    loaded.notices.push_back(std::string(kTruncatedLogStart) + path_ +
                             std::string(kTruncatedLogEnd));
  }
  loaded.content = SettingsTextFromFile(read.content, scrambledLines_);
  return loaded;
}

bool SettingsFile::Save(std::string_view content, IUiServices& ui) {
  if (unreadable_) {
    const MessageAnswer answer =
        ui.MessageBox(std::string(kOverwriteAskStart) + path_ + std::string(kOverwriteAskMiddle) +
                          *unreadable_ + std::string(kOverwriteAskEnd),
                      MessageButtons::YesNo, std::string(kSettingsFileTitle));
    if (answer != MessageAnswer::Yes) return false;
  }
  const FileResult written =
      files_.ReplaceFile(path_, SettingsTextForFile(content, scrambledLines_));
  if (!written.ok) {
    ui.MessageBox(std::string(kSaveFailedStart) + path_ + std::string(kSaveFailedMiddle) +
                      written.reason + std::string(kSaveFailedEnd),
                  MessageButtons::Ok, std::string(kSettingsFileTitle));
    return false;
  }
  unreadable_.reset();
  return true;
}

}  // namespace tarnwick
