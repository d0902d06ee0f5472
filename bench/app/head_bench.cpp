// Reads a container's identifying fields from its head, as a send does, and
// prints the process's peak resident memory and the time the reading took.
//   app_head_bench [--prepare DICTIONARY] CONTAINER
// With --prepare the container is prepared in place first.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/container/container_head.h"
#include "app/container/container_preparer.h"
#include "ftp/file_source.h"

int main(int argc, char** argv) {
  const bool prepare = argc == 4 && std::strcmp(argv[1], "--prepare") == 0;
  if (argc != 2 && !prepare) {
    std::fprintf(stderr, "usage: %s [--prepare DICTIONARY] CONTAINER\n", argv[0]);
    return 2;
  }
  const char* container = argv[argc - 1];
  double best = 1e9;
  try {
    if (prepare) {
      entity::TCharToEntityTranslator translator;
      translator.SetDictionaryFile(argv[2]);
      app::ContainerPreparer(translator).Prepare(container);
    }
    for (int run = 0; run < 5; ++run) {
      const auto start = std::chrono::steady_clock::now();
      ftp::TLocalFile file(container);
      const app::ContainerHead head = app::ReadContainerHead(file);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (head.Ident().empty()) throw std::runtime_error("no fields found in the container's head");
      if (seconds < best) best = seconds;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%ld %.6f\n", usage.ru_maxrss, best);  // kilobytes, seconds
  return 0;
}
