#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/reg_file.h"

namespace platform {

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A store file that OpenKey found damaged (see ParseRegText).
struct RegDamage {
  std::filesystem::path file;
  std::optional<std::filesystem::path> setAside;  // its new name; empty when it could not be renamed
};

// Where a TRegistry's values live.
class RegStore {
 public:
  virtual ~RegStore() = default;
  // The key's values (its section named "HKEY_CURRENT_USER\..."); nullopt
  // when it is missing and may not be created, or the store cannot be read or
  // written. Tells in `damage` of a damaged store it set aside.
  virtual std::optional<RegSection> Open(const std::string& section, bool canCreate,
                                         std::optional<RegDamage>& damage) = 0;
  virtual bool Set(const std::string& section, const std::string& name, const RegValue& value) = 0;
  // The store as messages name it.
  virtual std::string Where() const = 0;
};

// The per-user settings: on Windows HKEY_CURRENT_USER itself; elsewhere a
// Windows .reg export file standing in for it, where every write re-reads the
// file under a lock and replaces it atomically, so two running copies never
// lose each other's values. One accessor is made per use, as with the Windows
// registry.
class TRegistry {
 public:
  // $XDG_CONFIG_HOME/Korvath/Parcelo.reg (XDG_CONFIG_HOME defaults to ~/.config).
  static std::filesystem::path DefaultFile();

  // The user's settings: the registry on Windows, DefaultFile() elsewhere.
  TRegistry();
#ifndef _WIN32
  // Values kept in a .reg file.
  explicit TRegistry(std::filesystem::path file);
#endif
  explicit TRegistry(std::unique_ptr<RegStore> store);
  ~TRegistry();

  // Opens an absolute key path below HKEY_CURRENT_USER ("\Software\Korvath\Parcelo").
  // Returns false when the key is missing and may not be created, or when the
  // store cannot be read or written. A damaged file is set aside first and the
  // key opened on a fresh one; Damage() then tells of it.
  bool OpenKey(std::string_view key, bool canCreate);
  void CloseKey();

  // The damaged file the last OpenKey met, if it met one.
  const std::optional<RegDamage>& Damage() const { return damage_; }

  bool ValueExists(std::string_view name) const;
  // The Read operations raise ERegistryException "Invalid data type for '<name>'
  // in <file>" when the value is missing or of another type.
  std::string ReadString(std::string_view name) const;
  std::int32_t ReadInteger(std::string_view name) const;
  bool ReadBool(std::string_view name) const;

  // The Write operations raise ERegistryException "Failed to set data for '<name>'"
  // when no key is open, the store cannot be written, or a string holds a
  // control character (a line break would break the file).
  void WriteString(std::string_view name, std::string_view value);
  void WriteInteger(std::string_view name, std::int32_t value);
  void WriteBool(std::string_view name, bool value);

 private:
  const RegValue* Find(std::string_view name) const;
  [[noreturn]] void ThrowInvalidType(std::string_view name) const;
  void Write(std::string_view name, RegValue value);

  std::unique_ptr<RegStore> store_;
  std::optional<std::string> key_;  // section name of the open key
  RegSection snapshot_;             // the open key's values as read at OpenKey
  std::optional<RegDamage> damage_;
};

}  // namespace platform
