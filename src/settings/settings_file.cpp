#include "settings/settings_file.h"

#include <utility>

namespace tarnwick {

SettingsFile::SettingsFile(IFileSystem& files, std::string path)
    : files_(files), path_(std::move(path)) {}

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
  loaded.content = std::move(read.content);
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
  const FileResult written = files_.ReplaceFile(path_, content);
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
