#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace app {

// One send per container at a time: an exclusive advisory lock on
// ".<name>.parcelo-lock" beside the container, or beside the file a link
// named as the container leads to (on the container itself where
// its folder takes no new file), held from before the preparation until the
// last target is done, by runs of any user. Runs on other containers never
// wait for each other.
class ContainerLock {
 public:
  // Waits while another run holds the lock, calling `waiting` once and then
  // `pass` between tries, for at most `bound`. Raises EContainerBusy after
  // the bound, EInOutError when the container cannot be opened to lock it.
  ContainerLock(const std::string& container, std::chrono::milliseconds bound, const std::function<void()>& waiting,
                const std::function<void()>& pass);
  ~ContainerLock();
  ContainerLock(const ContainerLock&) = delete;
  ContainerLock& operator=(const ContainerLock&) = delete;

 private:
  // Opens the lock file and takes the lock if it is free; true when held.
  bool TryLock();

  std::string container_;
  std::string lockPath_;  // empty: the container itself is locked
  int fd_ = -1;
};

}  // namespace app
