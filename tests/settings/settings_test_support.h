// Helpers shared by the settings tests: a scratch program folder, files built line by line, and
// a field-by-field view of a settings record so a mismatch names the setting.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "settings/settings.h"

namespace tarnwick::testing {

// A fresh, empty folder removed with everything in it when the test ends.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("tarnwick-settings-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
             std::to_string(counter.fetch_add(1)));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(std::string_view name) const { return (path_ / name).string(); }

  // Names of everything in the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A file of `count` lines ended by `lineEnd`; lines not given are empty. Keys are 1-based.
inline std::string FileOfLines(size_t count, const std::map<size_t, std::string>& lines,
                               std::string_view lineEnd = kCrLf) {
  std::string out;
  for (size_t number = 1; number <= count; ++number) {
    auto it = lines.find(number);
    if (it != lines.end()) out += it->second;
    out += lineEnd;
  }
  return out;
}

inline std::string SettingFileOf(const std::map<size_t, std::string>& lines) {
  return FileOfLines(24, lines);
}
inline std::string SmtpFileOf(const std::map<size_t, std::string>& lines) {
  return FileOfLines(9, lines);
}

// Every stored setting as "name=value", in file order.
inline std::vector<std::string> Describe(const Settings& s) {
  auto flag = [](int16_t v) { return std::to_string(v); };
  return {
      "TimeInterval=" + s.TimeInterval,
      "cpu_High=" + s.cpu_High,
      "mem_High=" + s.mem_High,
      "num_High=" + s.num_High,
      "host_Name=" + s.host_Name,
      "Enable_log=" + flag(s.Enable_log),
      "KillProc=" + flag(s.KillProc),
      "num_Kill=" + s.num_Kill,
      std::string("Killopt=") + (s.Killopt ? "true" : "false"),
      "PnameList=" + s.PnameList,
      "Enable_sound=" + flag(s.Enable_sound),
      "filMusic=" + s.filMusic,
      "soundOn=" + flag(s.soundOn),
      "soundFrom=" + s.soundFrom,
      "soundTo=" + s.soundTo,
      "Enable_alert=" + flag(s.Enable_alert),
      "smsEmail=" + s.smsEmail,
      "smsPassword=" + s.smsPassword,
      "smsPhone=" + s.smsPhone,
      "Mail_List=" + s.Mail_List,
      "max_SMS=" + s.max_SMS,
      "schAlert=" + flag(s.schAlert),
      "smsFrom=" + s.smsFrom,
      "smsTo=" + s.smsTo,
      "Enable_SMTP=" + flag(s.Enable_SMTP),
      "mailSvr=" + s.mailSvr,
      "SMTPport=" + s.SMTPport,
      "mailFrom=" + s.mailFrom,
      "MailUser=" + s.MailUser,
      "MailPass=" + s.MailPass,
      "alive_Email=" + flag(s.alive_Email),
      "min_Select=" + s.min_Select,
      "mailTo1=" + s.mailTo1,
  };
}

// A record with every setting away from its zero value, texts with blanks around them.
inline Settings FilledSettings() {
  Settings s;
  s.TimeInterval = " 10 ";
  s.cpu_High = "90";
  s.mem_High = "\t70";
  s.num_High = "4";
  s.host_Name = "  web-01 (rack 3)  ";
  s.Enable_log = 1;
  s.KillProc = -1;
  s.num_Kill = "5";
  s.Killopt = true;
  s.PnameList = "Notepad.exe, CALC.EXE";
  s.Enable_sound = 1;
  s.filMusic = "/opt/tarnwick/alert.wav";
  s.soundOn = 2;
  s.soundFrom = "7";
  s.soundTo = "22";
  s.Enable_alert = 1;
  s.smsEmail = "ops@example.com";
  s.smsPassword = " s3cret pass ";
  s.smsPhone = "+1 5550100";
  s.Mail_List = "a@example.com,b@example.com";
  s.max_SMS = "30";
  s.schAlert = 1;
  s.smsFrom = "8";
  s.smsTo = "19";
  s.Enable_SMTP = 1;
  s.mailSvr = "smtp.example.com";
  s.SMTPport = "587";
  s.mailFrom = "tarnwick@example.com";
  s.MailUser = "tarnwick";
  s.MailPass = "pa ss";
  s.alive_Email = 1;
  s.min_Select = "60";
  s.mailTo1 = "admin@example.com";
  return s;
}

}  // namespace tarnwick::testing
