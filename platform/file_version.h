#pragma once

namespace platform {

// The FileVersion string of this release; shown in log lines and the about box.
inline constexpr const char* kFileVersion = "3.0.0.6";

}  // namespace platform
