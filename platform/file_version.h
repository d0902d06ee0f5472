#pragma once

namespace platform {

// The FileVersion string of this release; shown in log lines and the about box.
inline constexpr const char* kFileVersion = PARCELO_VERSION;

}  // namespace platform
