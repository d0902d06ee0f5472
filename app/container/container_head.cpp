#include "app/container/container_head.h"

#include "app/ascii_case.h"
#include "app/container/element_values.h"

namespace app {
namespace {

class HeadFields : public ElementValues {
 public:
  ContainerHead head;

 private:
  enum Tag { kSw = 1, kEcu = 2, kSwAfterEcu = 4 };

  int OnStart(std::string_view name, int) override {
    const std::string lower = AsciiLower(name);
    if (!head.projectInfo) {
      head.projectInfo = lower == "project-info";
      return -1;
    }
    int tag = 0;
    if (lower == "sw-ident") {
      if (!swSeen_) tag |= kSw;
      if (ecuSeen_ && !swAfterEcuSeen_) tag |= kSwAfterEcu;
    } else if (lower == "ecu-ident" && !ecuSeen_) {
      tag |= kEcu;
    }
    swSeen_ = swSeen_ || (tag & kSw);
    ecuSeen_ = ecuSeen_ || (tag & kEcu);
    swAfterEcuSeen_ = swAfterEcuSeen_ || (tag & kSwAfterEcu);
    return tag ? tag : -1;
  }

  void OnValue(int tag, std::string value) override {
    if (tag & kSw) head.swIdent = value;
    if (tag & kEcu) head.ecuIdent = value;
    if (tag & kSwAfterEcu) head.swIdentAfterEcu = value;
    if (head.swIdent && head.swIdentAfterEcu) Stop();
  }

  bool swSeen_ = false;
  bool ecuSeen_ = false;
  bool swAfterEcuSeen_ = false;
};

class Recipients : public ElementValues {
 public:
  std::vector<std::string> values;

 private:
  int OnStart(std::string_view name, int depth) override { return depth > 0 && name == "EMAIL" ? 0 : -1; }
  void OnValue(int, std::string value) override { values.push_back(std::move(value)); }
};

}  // namespace

std::string ContainerHead::Ident() const {
  return ecuIdent && swIdentAfterEcu ? *ecuIdent + "-" + *swIdentAfterEcu : std::string();
}

ContainerHead ReadContainerHead(ftp::TFileSource& container) {
  HeadFields fields;
  fields.Read(container);
  return fields.head;
}

std::vector<std::string> ReadRecipients(ftp::TFileSource& container) {
  Recipients recipients;
  recipients.Read(container);
  return recipients.values;
}

}  // namespace app
