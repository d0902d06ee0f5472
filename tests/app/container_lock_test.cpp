#include "app/delivery/container_lock.h"

#include <gtest/gtest.h>

#include "app/workflow_errors.h"
#include "send_samples.h"
#include "support/temp_dir.h"

namespace app {
namespace {

// One run at a time per container: the second waits, bounded, and gets the
// lock once the first is done; nothing is left beside the container.
TEST(ContainerLock, ASecondRunWaitsWithinItsBoundAndGetsTheLockOnceTheFirstIsDone) {
  test::TempDir dir;
  const std::string container = dir.Write("c.cnt", "x").string();
  int waits = 0, passes = 0;
  auto first = std::make_unique<ContainerLock>(container, std::chrono::seconds(1), [] {}, [] {});
  EXPECT_THROW(ContainerLock(container, std::chrono::milliseconds(50), [&] { ++waits; }, [&] { ++passes; }),
               EContainerBusy);
  EXPECT_EQ(waits, 1);
  EXPECT_GT(passes, 0);
  const ContainerLock other(dir.Write("d.cnt", "y").string(), std::chrono::milliseconds(0), [] { FAIL(); }, [] {});
  first.reset();
  { const ContainerLock second(container, std::chrono::milliseconds(0), [] { FAIL(); }, [] {}); }
  EXPECT_EQ(test::FilesIn(dir.Path()), (std::vector<std::string>{".d.cnt.parcelo-lock", "c.cnt", "d.cnt"}));
}

}  // namespace
}  // namespace app
