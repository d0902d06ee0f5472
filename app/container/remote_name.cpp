#include "app/container/remote_name.h"

#include "app/container/container_head.h"
#include "app/workflow_errors.h"

namespace app {

std::string RemoteNameIdent(const ContainerHead& head) {
  if (!head.projectInfo) throw ERemoteNameError("No project-info found in container");
  if (!head.swIdent) throw ERemoteNameError("No sw-ident found in container");
  const std::string& ident = *head.swIdent;
  if (ident.empty() || ident.find_first_of(std::string("\r\n/\\\0", 5)) != std::string::npos)
    throw ERemoteNameError("sw-ident not usable as file name: \"" + ident + "\"");
  return ident;
}

std::string RemoteName(const std::string& ident, std::int32_t stamp) { return ident + "." + std::to_string(stamp); }

}  // namespace app
