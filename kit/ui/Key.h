#pragma once

namespace kit {

// The keys screens answer to. The host maps its own key codes onto these; keys it keeps for
// itself (rotation, full screen) never arrive.
enum class Key { LeftArrow, RightArrow, UpArrow, DownArrow };

} // namespace kit
