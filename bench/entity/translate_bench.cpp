// Streams a container through TCharToEntityTranslator the way the container
// preparation does (line by line, lines ending at CR, CR LF written after each),
// and generates the Windows-1252 test container the bench/entity/run script times.
//
//   entity_translate_bench generate <file> <megabytes>
//   entity_translate_bench translate <dictionary> <input> <output>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "entity/char_to_entity_translator.h"

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File Open(const char* path, const char* mode) {
  File file(std::fopen(path, mode), &std::fclose);
  if (!file) {
    std::fprintf(stderr, "cannot open %s: %s\n", path, std::strerror(errno));
    std::exit(1);
  }
  return file;
}

void Write(std::FILE* file, std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    std::perror("write");
    std::exit(1);
  }
}

// Mostly hex data lines, with a German description line (umlauts and sharp s
// in Windows-1252) every eighth line, as memory containers look.
int Generate(const char* path, long megabytes) {
  File out = Open(path, "wb");
  const std::string_view description =
      "    <description>Pr\xFC" "fstand \xDC" "berwachung f\xFC" "r \xD6" "l- und Wassertemperatur, "
      "Gr\xF6\xDF" "e \xE4" "ndern, M\xFC" "ller GmbH</description>\r\n";
  const std::string_view data =
      "    <line>3A1F00C0FFEE0B1E55EDD00DFACE0123456789ABCDEF0011223344556677</line>\r\n";
  const long target = megabytes * 1000 * 1000;
  long written = 0;
  Write(out.get(), "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\">\r\n");
  for (long line = 0; written < target; ++line) {
    const std::string_view next = line % 8 == 0 ? description : data;
    Write(out.get(), next);
    written += static_cast<long>(next.size());
  }
  return 0;
}

int Translate(const char* dictionary, const char* input, const char* output) {
  entity::TCharToEntityTranslator translator;
  translator.SetDictionaryFile(dictionary);
  File in = Open(input, "rb");
  File out = Open(output, "wb");

  constexpr std::size_t kChunk = 1 << 20;
  std::string chunk(kChunk, '\0');
  std::string pending;  // the start of a line cut by the chunk boundary
  std::string translated;
  translated.reserve(2 * kChunk);
  bool skip_line_feed = false;

  auto emit_line = [&](std::string_view line) {
    translator.AppendTranslation(line, translated);
    translated += "\r\n";
    if (translated.size() >= kChunk) {
      Write(out.get(), translated);
      translated.clear();
    }
  };

  std::size_t got;
  while ((got = std::fread(chunk.data(), 1, kChunk, in.get())) > 0) {
    std::string_view rest(chunk.data(), got);
    if (skip_line_feed && !rest.empty() && rest.front() == '\n') rest.remove_prefix(1);
    skip_line_feed = false;
    std::size_t cr;
    while ((cr = rest.find('\r')) != std::string_view::npos) {
      if (pending.empty()) {
        emit_line(rest.substr(0, cr));
      } else {
        pending.append(rest.substr(0, cr));
        emit_line(pending);
        pending.clear();
      }
      rest.remove_prefix(cr + 1);
      if (rest.empty()) skip_line_feed = true;
      else if (rest.front() == '\n') rest.remove_prefix(1);
    }
    pending.append(rest);
  }
  if (!pending.empty()) emit_line(pending);
  Write(out.get(), translated);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "generate" && argc == 4) return Generate(argv[2], std::atol(argv[3]));
  if (command == "translate" && argc == 5) return Translate(argv[2], argv[3], argv[4]);
  std::fprintf(stderr,
               "usage: %s generate <file> <megabytes>\n"
               "       %s translate <dictionary> <input> <output>\n",
               argv[0], argv[0]);
  return 2;
}
