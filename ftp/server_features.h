#pragma once

#include <string>
#include <vector>

#include "ftp/sent_bytes.h"

namespace ftp {

// What a server's FEAT reply (RFC 2389) offers for checking an upload.
struct TServerFeatures {
  bool Size = false;  // SIZE (RFC 3659)
  bool Mlst = false;  // MLST (RFC 3659)
  bool Mdtm = false;  // MDTM (RFC 3659)
  // The strongest digest offered and the command that asks for it: "HASH"
  // (draft-bryan-ftpext-hash) or one of XSHA256, XSHA1, XMD5, XCRC.
  THashKind Hash = THashKind::None;
  std::string HashCommand;
  // HASH only: whether that digest is the server's current choice; if not,
  // "OPTS HASH <name>" selects it first.
  bool HashSelected = true;
};

// Reads the lines of a FEAT reply (the first and the last line carry the
// code, each feature line starts with a blank). Unknown features are ignored.
TServerFeatures ParseFeatures(const std::vector<std::string>& lines);

// The digest of `kind` in the reply to a hash command, in lower case (CRC32:
// eight digits); empty when the reply holds none.
std::string DigestOfReply(const std::string& reply, THashKind kind);

}  // namespace ftp
