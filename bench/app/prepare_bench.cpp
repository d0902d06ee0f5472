// Prepares one container in place with the site dictionary and prints the
// process's peak resident memory, for bench/app/run.
//   app_prepare_bench DICTIONARY CONTAINER
#include <sys/resource.h>

#include <cstdio>
#include <exception>

#include "app/container/container_preparer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DICTIONARY CONTAINER\n", argv[0]);
    return 2;
  }
  try {
    entity::TCharToEntityTranslator translator;
    translator.SetDictionaryFile(argv[1]);
    app::ContainerPreparer(translator).Prepare(argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%ld\n", usage.ru_maxrss);  // kilobytes
  return 0;
}
