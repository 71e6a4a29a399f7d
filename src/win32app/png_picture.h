// A bitmap as the bytes of a PNG file, through the Windows Imaging Component (part of Windows,
// and of Wine).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tarnwick::win32 {

// The PNG file of a device-dependent or DIB section bitmap, without alpha; nullopt when the
// imaging component fails.
std::optional<std::string> EncodePng(HBITMAP bitmap);

}  // namespace tarnwick::win32
