#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ftp {

// The value of the run of decimal digits at the start of `text`, looking at no
// more than its first `maxChars` characters; nullopt when there is no digit.
// Returns 0 when the run does not fit 64 bits.
std::optional<std::int64_t> LeadingNumber(const std::string& text, std::size_t maxChars);

// RFC 959: a reply begins with a three-digit code whose first digit is 1 to
// 5, followed by a blank, a "-" or the end of the line. The code of such a
// line; nullopt for anything else (an empty line included).
std::optional<int> ReplyCodeOf(const std::string& line);

// RFC 959: 500 to 502 say the server does not know the command (or its
// parameters) rather than refusing it.
inline bool IsUnknownCommand(std::optional<int> code) { return code && *code >= 500 && *code <= 502; }

// Whether the reply whose line is `line` goes on: the line starts with a
// blank or has "-" right after the code.
bool ContinuesReply(const std::string& line);

// The n-th field (counting from 1) of `text` cut at every `delimiter`; empty
// for an empty text or an n beyond the last field.
std::string Field(const std::string& text, char delimiter, int n);

// The reply line without its CR LF, for a message that quotes it; "no reply"
// for the empty line of a closed connection.
std::string QuotedReply(const std::string& line);

// The number after the code of a 213 reply ("213 1234567"); nullopt for
// any other reply.
std::optional<std::int64_t> StatusNumber(const std::string& reply);

// The time stamp of an MDTM reply (RFC 3659: "213 YYYYMMDDHHMMSS", maybe
// with a fraction of a second); empty for any other reply.
std::string TimeStampOf(const std::string& reply);

// The size a transfer reply announces: the run of digits nearest before the
// first "BYTE" (any case); 0 when there is none or it does not fit.
std::int64_t ParseByteCount(const std::string& line);

// The data port of a passive-mode reply ("227 ... (h1,h2,h3,h4,p1,p2)"): the
// fifth field is the high byte, the sixth up to ")" the low byte; blanks
// around the numbers do not count. Raises
// ftp::Exception "Ungültige Antwort auf PASV" when they are missing or not numbers.
int PassivePort(const std::string& reply);

// The address "h1.h2.h3.h4" that a passive-mode reply names; empty when it
// names none that can be read.
std::string PassiveAddressText(const std::string& reply);

// The data port of an extended passive-mode reply ("229 ... (|||port|)",
// RFC 2428). Raises ftp::Exception "Ungültige Antwort auf EPSV" when it
// has none.
int ExtendedPassivePort(const std::string& reply);

}  // namespace ftp
