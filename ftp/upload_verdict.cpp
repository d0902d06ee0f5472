#include "ftp/upload_verdict.h"

#include "ftp/ftp_errors.h"

namespace ftp {

void RaiseIncompleteUpload(std::int64_t stored, std::int64_t sent) {
  throw EVerifyError("Upload unvollständig: der Server hat "_ansi + std::to_string(stored) +
                     " Byte gespeichert, gesendet wurden " + std::to_string(sent) + " Byte");
}

void RaiseCorruptedUpload(THashKind kind, const std::string& theirs, const std::string& ours) {
  throw EVerifyError("Upload verfälscht: "_ansi + std::string(HashName(kind)) + " des Servers " + theirs + ", gesendet " +
                     ours);
}

}  // namespace ftp
