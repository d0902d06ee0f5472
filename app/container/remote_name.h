#pragma once

#include <ctime>
#include <string>

namespace xml {
class TDomDocument;
}

namespace app {

// The remote file name of an upload: the value of the first sw-ident after
// project-info, "." and the FAT date stamp of `now` as a signed decimal (ABC
// on 7 December 2026 at 12:10:04 gives ABC.1569153346). Raises
// ERemoteNameError when the container has no project-info or no sw-ident
// after it, or when the value is empty or holds CR, LF, NUL, "/" or "\".
std::string RemoteName(xml::TDomDocument& container, const std::tm& now);

}  // namespace app
