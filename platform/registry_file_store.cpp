#include <utility>

#include "platform/registry.h"

namespace platform {
namespace {

// The settings in a .reg file (see reg_file.h).
class FileRegStore : public RegStore {
 public:
  explicit FileRegStore(std::filesystem::path file) : file_(std::move(file)) {}

  std::optional<RegSection> Open(const std::string& section, bool canCreate,
                                 std::optional<RegDamage>& damage) override {
    auto contents = ReadRegFile(file_);
    if (contents.state == RegFileContents::kDamaged) {
      damage = RegDamage{file_, SetAsideDamagedRegFile(file_)};
      contents = ReadRegFile(file_);
      // Another copy of the program set it aside first and told its user.
      if (!damage->setAside && contents.state == RegFileContents::kRead) damage.reset();
    }
    if (contents.state != RegFileContents::kRead) return std::nullopt;
    if (const RegSection* found = contents.document.Find(section)) return *found;
    if (!canCreate) return std::nullopt;
    const bool created = UpdateRegFile(file_, [&](RegDocument& current) {
      if (current.Find(section)) return false;
      current.FindOrAdd(section);
      return true;
    });
    if (!created) return std::nullopt;
    return RegSection{section, {}};
  }

  bool Set(const std::string& section, const std::string& name, const RegValue& value) override {
    return UpdateRegFile(file_, [&](RegDocument& current) {
      current.FindOrAdd(section).Set(name, value);
      return true;
    });
  }

  std::string Where() const override { return file_.string(); }

 private:
  std::filesystem::path file_;
};

}  // namespace

TRegistry::TRegistry() : TRegistry(DefaultFile()) {}

TRegistry::TRegistry(std::filesystem::path file) : store_(std::make_unique<FileRegStore>(std::move(file))) {}

}  // namespace platform
