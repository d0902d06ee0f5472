// Arbitrary bytes as a container: the preparation must not crash, must leave
// the container complete, must keep the unprepared file when it says so, must
// give exactly what a plain in-memory reading of the rules gives, and must
// change nothing when it runs again (a retry after a failed send).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>

#include "app/container/body_translation.h"
#include "app/container/container_encoding.h"
#include "app/container/container_preparer.h"
#include "support/line_end_naming_translator.h"
#include "support/temp_dir.h"

namespace {

// The rules, read the simple way: the whole text in memory, line by line.
std::string Expected(const std::string& original, const entity::TCharToEntityTranslator& translator,
                     bool& keepsOriginal) {
  const app::ContainerEncoding encoding = app::EncodingOfContainer(std::string_view(original).substr(0, app::kContainerHeadSize));
  keepsOriginal = false;
  if (original.find('\0') != std::string::npos || encoding == app::ContainerEncoding::kUnreadable) return original;
  const auto translation = app::TranslationFor(encoding, translator);
  const std::string text = original.substr(0, original.find('\x1A'));
  std::string out;
  bool first = true;
  bool hasSystemId = false;
  std::size_t at = 0;
  do {
    const std::size_t cr = text.find('\r', at);
    std::string line = text.substr(at, cr == std::string::npos ? std::string::npos : cr - at);
    at = cr == std::string::npos ? text.size() : cr + 1 + (cr + 1 < text.size() && text[cr + 1] == '\n');
    if (first) {
      hasSystemId = line.find(".dtd\"") != std::string::npos;
      if (!hasSystemId) {
        for (const auto& [marker, id] : {std::pair{"1.2//EN\"", " \"ecum0102.dtd\""}, {"1.1//EN\"", " \"ecum0101.dtd\""}}) {
          const auto found = line.find(marker);
          if (found != std::string::npos) line.insert(found + std::string(marker).size(), id);
        }
      }
      out += line;
    } else {
      translation->Append(line, out);
    }
    out += "\r\n";
    first = false;
  } while (at < text.size());
  keepsOriginal = out != original || !hasSystemId;
  return out;
}

struct Fixture {
  std::filesystem::path folder;
  entity::TCharToEntityTranslator translator;
  test::LineEndNamingTranslator lineEndNaming;
  Fixture() {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (base / "parcelo-prepare-fuzz-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    test::WriteFile(folder / "uml.ini", "\xC4=&Auml;\n\xD6=&Ouml;\n\xDC=&Uuml;\n\xE4=&auml;\n\xF6=&ouml;\n\xFC=&uuml;\n\xDF=&szlig;\n");
    translator.SetDictionaryFile((folder / "uml.ini").string());
    lineEndNaming.SetDictionaryFile((folder / "uml.ini").string());
  }
  ~Fixture() { std::filesystem::remove_all(folder); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  const std::string original(reinterpret_cast<const char*>(data), size);
  const auto container = fixture.folder / "c.cnt";
  const auto backup = fixture.folder / "c.cnt.bak";
  std::filesystem::remove(backup);
  test::WriteFile(container, original);
  // Odd sizes meet the translator that names line-end characters.
  const entity::TCharToEntityTranslator& translator =
      size % 2 != 0 ? static_cast<const entity::TCharToEntityTranslator&>(fixture.lineEndNaming) : fixture.translator;
  app::ContainerPreparer(translator).Prepare(container.string());

  bool keepsOriginal = false;
  const std::string expected = Expected(original, translator, keepsOriginal);
  // The second pass is the attempt after a failed send: it changes nothing.
  for (int attempt = 1; attempt <= 2; ++attempt) {
    if (attempt == 2) app::ContainerPreparer(translator).Prepare(container.string());
    if (test::ReadFile(container) != expected) std::abort();
    if (std::filesystem::exists(backup) != keepsOriginal) std::abort();
    if (keepsOriginal && test::ReadFile(backup) != original) std::abort();
  }
  if (std::distance(std::filesystem::directory_iterator(fixture.folder), std::filesystem::directory_iterator()) !=
      2 + keepsOriginal)
    std::abort();  // a temporary file was left behind
  return 0;
}
