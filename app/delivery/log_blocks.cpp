#include "app/delivery/log_blocks.h"

namespace app {

LogBlocks::LogBlocks(std::size_t targets, Writer write) : write_(std::move(write)), blocks_(targets) {}

void LogBlocks::Write(std::size_t target, const std::string& line) {
  if (target == current_)
    write_(line);
  else
    blocks_[target].waiting.push_back(line);
}

void LogBlocks::Finish(std::size_t target) {
  blocks_[target].finished = true;
  Advance();
}

void LogBlocks::Advance() {
  while (current_ < blocks_.size() && blocks_[current_].finished) {
    ++current_;
    if (current_ == blocks_.size()) return;
    Block& next = blocks_[current_];
    for (const std::string& line : next.waiting) write_(line);
    next.waiting.clear();
  }
}

}  // namespace app
