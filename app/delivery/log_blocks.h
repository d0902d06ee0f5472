#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace app {

// Keeps each target's lines of the transfer log together and the targets in
// list order while their sessions run at once: the lines of the first target
// not yet done go out as they come, those of the targets after it wait until
// every target before them is done.
class LogBlocks {
 public:
  using Writer = std::function<void(const std::string& line)>;

  LogBlocks(std::size_t targets, Writer write);

  void Write(std::size_t target, const std::string& line);
  // The target's block is complete.
  void Finish(std::size_t target);

 private:
  struct Block {
    std::vector<std::string> waiting;
    bool finished = false;
  };

  void Advance();

  Writer write_;
  std::vector<Block> blocks_;
  std::size_t current_ = 0;  // the first target not yet done
};

}  // namespace app
