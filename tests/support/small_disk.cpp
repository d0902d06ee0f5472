#include "support/small_disk.h"

#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

namespace test {

SmallDisk::SmallDisk(const std::filesystem::path& at, std::size_t kilobytes) : at_(at) {
  std::filesystem::create_directories(at_);
  const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0777";
  mounted_ = mount("tmpfs", at_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  if (!mounted_) why_ = std::string("no tmpfs can be mounted here: ") + std::strerror(errno);
}

SmallDisk::~SmallDisk() {
  if (mounted_) umount2(at_.c_str(), MNT_DETACH);
}

void SmallDisk::FillLeaving(std::size_t spare) const {
  struct statvfs info {};
  statvfs(at_.c_str(), &info);
  const std::size_t free = static_cast<std::size_t>(info.f_bavail) * info.f_frsize;
  std::ofstream(at_ / ".filler", std::ios::binary) << std::string(free > spare ? free - spare : 0, 'x');
}

}  // namespace test
