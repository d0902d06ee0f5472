#include <windows.h>
#include <aclapi.h>
#include <io.h>

#include "app/file_attributes.h"

namespace app {
namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// The security descriptor's parts of `handle`, freed when it goes.
class Security {
 public:
  Security(HANDLE handle, SECURITY_INFORMATION what) {
    ok_ = GetSecurityInfo(handle, SE_FILE_OBJECT, what, &owner_, nullptr, &dacl_, nullptr, &descriptor_) ==
          ERROR_SUCCESS;
  }
  ~Security() { LocalFree(descriptor_); }
  Security(const Security&) = delete;
  Security& operator=(const Security&) = delete;

  bool ok() const { return ok_; }
  PSID owner() const { return owner_; }
  PACL dacl() const { return dacl_; }
  bool Protected() const {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    return GetSecurityDescriptorControl(descriptor_, &control, &revision) && (control & SE_DACL_PROTECTED);
  }
  // Whether an entry was given to the file itself rather than taken from its folder.
  bool OwnEntries() const {
    if (!dacl_) return true;  // no list at all: everyone may do everything
    for (DWORD i = 0; i < dacl_->AceCount; ++i) {
      void* entry = nullptr;
      if (GetAce(dacl_, i, &entry) && !(static_cast<ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE)) return true;
    }
    return false;
  }

 private:
  bool ok_ = false;
  PSID owner_ = nullptr;
  PACL dacl_ = nullptr;
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// A list the file took from its folder is what the new file beside it takes
// too; only one of its own, or one cut off from the folder's, is copied.
const char* TakePermissions(HANDLE from, HANDLE to) {
  const Security source(from, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION);
  const Security target(to, OWNER_SECURITY_INFORMATION);
  if (!source.ok() || !target.ok()) return "owner";
  if (!EqualSid(source.owner(), target.owner()) &&
      SetSecurityInfo(to, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, source.owner(), nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
    return "owner";
  if (!source.Protected() && !source.OwnEntries()) return nullptr;
  const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | (source.Protected() ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                                    : UNPROTECTED_DACL_SECURITY_INFORMATION);
  if (SetSecurityInfo(to, SE_FILE_OBJECT, what, nullptr, nullptr, source.dacl(), nullptr) != ERROR_SUCCESS)
    return "mode";
  return nullptr;
}

// Hidden, system, archive, not indexed ... as the file had them.
bool TakeFlags(HANDLE from, HANDLE to) {
  FILE_BASIC_INFO source{}, target{};
  if (!GetFileInformationByHandleEx(from, FileBasicInfo, &source, sizeof source) ||
      !GetFileInformationByHandleEx(to, FileBasicInfo, &target, sizeof target))
    return false;
  // Zero would leave them as they are.
  const DWORD flags = source.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
  target.FileAttributes = flags ? flags : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(to, FileBasicInfo, &target, sizeof target);
}

}  // namespace

const char* TakeAttributes(int from, int to) {
  const HANDLE source = HandleOf(from);
  const HANDLE target = HandleOf(to);
  if (const char* lost = TakePermissions(source, target)) return lost;
  return TakeFlags(source, target) ? nullptr : "extended attributes";
}

}  // namespace app
