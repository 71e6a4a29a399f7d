#pragma once

#include "platform/sound_player.h"

namespace tarnwick {

// Linux implementation (to be written).
class AlsaSoundPlayer final : public ISoundPlayer {};

}  // namespace tarnwick
