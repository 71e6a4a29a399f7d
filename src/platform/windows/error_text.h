// The system's text for a Win32 error code, as a log line or a message box shows it.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick::win {

// One line in UTF-8, without the trailing line end and full stop; "Windows error N" when the
// system has no text for the code.
std::string ErrorText(DWORD error);

}  // namespace tarnwick::win
