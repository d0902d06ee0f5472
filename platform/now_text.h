#pragma once

#include <string>

namespace platform {

// The current local date and time as the transfer log writes them: the
// user's short date, a blank and the long time; only the date at exactly
// midnight.
std::string NowText();

}  // namespace platform
