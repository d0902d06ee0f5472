#pragma once

#include <cstdint>
#include <string>

namespace app {

struct ContainerHead;

// The first part of a container's remote file names: the value of the first
// sw-ident after project-info. Raises ERemoteNameError when the container has
// no project-info or no sw-ident after it, or when the value is empty or holds
// CR, LF, NUL, "/" or "\".
std::string RemoteNameIdent(const ContainerHead& head);

// The remote file name of an upload: the ident, "." and a FAT date stamp as a
// signed decimal (ABC on 7 December 2026 at 12:10:04 gives ABC.1569153346).
std::string RemoteName(const std::string& ident, std::int32_t stamp);

}  // namespace app
