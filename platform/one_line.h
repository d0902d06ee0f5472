#pragma once

#include <string>
#include <string_view>

namespace platform {

// `text` as one line: CR and LF (from a container, a target list, a file
// name, a server's reply) written as \r and \n, other control characters
// but tab as \xNN, so that no value can end a line or forge another one.
std::string OneLine(std::string_view text);

// A message as a box or standard error shows it, its lines joined by
// `lineBreak`. The program separates a message's lines by single carriage
// returns; each line is shown as OneLine writes it, so that a value with
// line ends in it (CR LF, LF) shows them rather than starting a line. The
// line end that closes a server's reply at the very end is dropped.
std::string MessageText(std::string_view text, std::string_view lineBreak);

}  // namespace platform
