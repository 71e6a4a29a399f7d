// What the main window's account line says at each step of a login. tarnwickd prints the same
// words as its account status.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "results/engine_results.h"

namespace tarnwick {

inline constexpr std::string_view kLoginCaption = "Login now, please wait .....";
inline constexpr std::string_view kConnectingLabel = "Connecting to Textpost, please wait .....";
inline constexpr std::string_view kNoAccountLabel =
    "Not Login. Email account or password is empty,please goto setup .....";
inline constexpr std::string_view kLoginFailedLabel = "Not Login.Please login for alert sending !!";
inline constexpr std::string_view kAccountStart = "Account : ";

// The account line after `step`; nullopt where the step leaves it as it was.
std::optional<std::string> AccountCaption(const LoginResult& step);

// Whether the credits are shown after `step`; nullopt where the step leaves that as it was.
std::optional<bool> CreditsShown(const LoginResult& step);

}  // namespace tarnwick
