#pragma once

#include <optional>
#include <string>

#include "support/run_program.h"

namespace test {

// Whether this process is the child that RunWithHosts started.
bool InPrivateHosts();

// Runs the tests of `filter` of this test binary again in a child process
// whose /etc/hosts reads `hosts` (a private mount namespace made by
// unshare), so that a name can stand for the addresses a test needs. Returns
// the child's result, or nullopt when this system allows no such namespace.
std::optional<ProgramResult> RunWithHosts(const std::string& hosts, const std::string& filter);

}  // namespace test
