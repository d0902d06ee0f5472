#include "app/container/remote_name.h"

#include "app/container/container_fields.h"
#include "app/container/fat_date.h"
#include "app/workflow_errors.h"

namespace app {

std::string RemoteName(xml::TDomDocument& container, const std::tm& now) {
  ContainerFieldSearch search(container);
  if (!search.FindProjectInfo()) throw ERemoteNameError("No project-info found in container");
  search.EnterProjectInfo();
  if (!search.FindForward("sw-ident")) throw ERemoteNameError("No sw-ident found in container");
  const std::string ident = search.CurrentValue();
  if (ident.empty() || ident.find_first_of(std::string("\r\n/\\\0", 5)) != std::string::npos)
    throw ERemoteNameError("sw-ident not usable as file name: \"" + ident + "\"");
  return ident + "." + std::to_string(FatDateStamp(now));
}

}  // namespace app
