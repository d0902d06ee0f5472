#pragma once

#include <string>

namespace test {

// The program's per-user settings on Windows, the registry key
// HKEY_CURRENT_USER\Software\Korvath\Parcelo, which every test there shares
// (elsewhere each test has a settings file of its own).
void ForgetUserSettings();
// The key's values as lines of a .reg file, their texts as they are:
// "Name"="text", "Name"=dword:0000000a.
std::string UserSettingsText();

}  // namespace test
