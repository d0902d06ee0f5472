#pragma once

#include <stdexcept>

namespace app {

// An input/output error of the program's own files (transfer log, container,
// backup copy).
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The send action was stopped before anything was sent: the container is
// missing, or its backup copy would overwrite it.
class ECopyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The container gives no usable remote file name: no project-info, no
// sw-ident after it, or an sw-ident that cannot name a file.
class ERemoteNameError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The container changed on disk while a send held it: what is still to be
// sent would differ from what was sent already.
class EContainerChanged : public std::runtime_error {
 public:
  EContainerChanged() : std::runtime_error("container changed during the send") {}
};

// Another run is sending the same container and did not finish in time.
class EContainerBusy : public std::runtime_error {
 public:
  EContainerBusy() : std::runtime_error("container is being sent by another run") {}
};

// The target list cannot be read into the window: a Werk without compress, an
// element without content, no IntranetUrl or ReadmeDate.
class ETargetListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace app
