#include "app/file_attributes.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace app {
namespace {

// What `read` gives for a buffer of the size it asks for (an attribute list
// or value that grows meanwhile is asked again); false when it fails.
template <typename Read>
bool ReadGrowing(Read read, std::string& into) {
  for (;;) {
    const ssize_t size = read(nullptr, 0);
    if (size < 0) return false;
    into.resize(static_cast<std::size_t>(size));
    const ssize_t got = read(into.data(), into.size());
    if (got >= 0) {
      into.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

// The names of the extended attributes of `fd`, each ended by a NUL; false
// when they cannot be listed.
bool AttributeNames(int fd, std::string& names) {
  return ReadGrowing([&](char* list, std::size_t size) { return flistxattr(fd, list, size); }, names);
}

bool Listed(const std::string& names, const char* name) {
  return (std::string(1, '\0') + names).find(std::string(1, '\0') + name + '\0') != std::string::npos;
}

// Every extended attribute, the ACL (system.posix_acl_access) among them;
// none that `from` lacks, such as an ACL the new file took from its folder.
bool TakeExtendedAttributes(int from, int to) {
  std::string names, own;
  if (!AttributeNames(from, names)) return errno == ENOTSUP;  // a file system without them: none to keep
  if (!AttributeNames(to, own)) return false;
  for (std::size_t at = 0; at < own.size(); at += std::strlen(own.c_str() + at) + 1)
    if (!Listed(names, own.c_str() + at) && fremovexattr(to, own.c_str() + at) != 0) return false;
  for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
    const char* name = names.c_str() + at;
    std::string value;
    if (!ReadGrowing([&](char* bytes, std::size_t size) { return fgetxattr(from, name, bytes, size); }, value) ||
        fsetxattr(to, name, value.data(), value.size(), 0) != 0)
      return false;
  }
  return true;
}

}  // namespace

const char* TakeAttributes(int from, int to) {
  struct stat info {};
  // The mode after the owner: a change of owner clears the set-id bits; the
  // ACL after the mode, which it sets again as it had it.
  if (fstat(from, &info) != 0 || fchown(to, info.st_uid, info.st_gid) != 0) return "owner";
  if (fchmod(to, info.st_mode & 07777) != 0) return "mode";
  return TakeExtendedAttributes(from, to) ? nullptr : "extended attributes";
}

}  // namespace app
