// The XDG autostart entry ($XDG_CONFIG_HOME/autostart/tarnwick.desktop, by default under
// ~/.config) that desktop sessions read at login.
#pragma once

#include <string>

#include "platform/autostart.h"

namespace tarnwick {

class XdgAutostart final : public IAutostart {
 public:
  // `configFolder` is the XDG configuration folder (~/.config); `program` the executable the
  // entry starts.
  XdgAutostart(IFileSystem& files, std::string configFolder, std::string program);

  bool IsEnabled() override;
  FileResult SetEnabled(bool on) override;

  std::string EntryPath() const;
  // The entry's text; the program path is quoted by the desktop entry rules.
  std::string EntryText() const;

 private:
  IFileSystem& files_;
  std::string configFolder_;
  std::string program_;
};

// The configuration folder by the XDG rules: $XDG_CONFIG_HOME when absolute, else $HOME/.config;
// empty when neither names a place.
std::string XdgConfigFolder();

}  // namespace tarnwick
