#pragma once

namespace app {

// Gives the open file `to` the owner, group, mode, ACL and extended
// attributes of the open file `from`, so that a file written anew to take
// another's place is that file to everyone who uses it. Returns what could
// not be given ("owner", "mode", "extended attributes": an owner or group
// this process may not set, an attribute the file system or the process may
// not set), or nullptr when everything was.
const char* TakeAttributes(int from, int to);

}  // namespace app
