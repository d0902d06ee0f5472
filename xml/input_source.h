#pragma once
#include <cstdint>
#include <exception>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xml {

// The encodings a document can arrive in; the values are the codes error
// reports and tests refer to.
enum class TEncoding : std::uint8_t {
  Utf8 = 0,
  Utf16LE = 1,
  Utf16BE = 2,
  Iso8859_1 = 3,
  Iso8859_2 = 4,
  Iso8859_3 = 5,
  Iso8859_4 = 6,
  Iso8859_5 = 7,
  Iso8859_6 = 8,
  Iso8859_7 = 9,
  Iso8859_8 = 10,
  Iso8859_9 = 11,
  Iso8859_10 = 12,
  Iso8859_13 = 13,
  Iso8859_14 = 14,
  Iso8859_15 = 15,
  Koi8R = 16,
  MacRoman = 17,
  Windows1251 = 18,
  Windows1250 = 19,
  Windows1252 = 20,
  Windows1253 = 21,
  Windows1254 = 22,
  Windows1255 = 23,
  Windows1256 = 24,
  Windows1257 = 25,
  Windows1258 = 26,
  UsAscii = 27,
};

// The encoding named in an encoding declaration (compared without regard to
// ASCII case); empty for a name we cannot read. The UTF-16 names give the
// byte order they name, plain "UTF-16" little-endian (its byte-order mark
// decides).
std::optional<TEncoding> encodingFromName(std::u16string_view name);

// Whether an encoding declaration decides how the bytes are read: it does
// for bytes; text that is UTF-16 already (a wide string) has been decoded,
// so its declaration names nothing.
enum class TDeclaredEncoding { Binding, Ignored };

// A line and a column, both counted from 1.
struct TTextPosition {
  std::uint32_t line = 1;
  std::uint32_t column = 1;
};

// Turns a byte stream into UTF-16 code units with CR LF and lone CR
// delivered as LF. The stream must be seekable; it is not owned.
class TInputSource {
public:
  // Raises EStreamError "Stream not specified." for a null stream. Detects
  // the encoding, pre-scans the format name and starts at the first unit.
  TInputSource(std::istream* stream, std::u16string publicId, std::u16string systemId,
               TDeclaredEncoding declared = TDeclaredEncoding::Binding);

  // The next unit; false at the end of the stream. Raises EConvertError for
  // bytes that do not decode and EReadError when the stream fails.
  bool getNextChar(char16_t& unit);
  // The next run of units (at least one); empty at the end of the stream.
  // Raises like getNextChar once the units before a bad byte are delivered.
  std::u16string_view nextUnits();
  // Back to the first unit (after any byte-order mark).
  void reset();

  TEncoding encoding() const { return encoding_; }
  // Why the encoding declared in the XML declaration cannot be how the
  // bytes are read: a name we do not know, or one the byte-order mark
  // contradicts. Empty when it can.
  std::string declaredEncodingProblem(std::u16string_view name) const;
  const std::u16string& publicId() const { return publicId_; }
  const std::u16string& systemId() const { return systemId_; }
  // Where the first unit stands in the document the identifiers name: a
  // text cut out of a document (its internal subset) starts further on.
  TTextPosition origin() const { return origin_; }
  void setOrigin(TTextPosition origin) { origin_ = origin; }
  // The name after "<!DOCTYPE" or of the first start tag; empty when it is
  // not a Name or when none is found.
  const std::u16string& formatName() const { return formatName_; }

private:
  void detectEncoding();
  void prescanFormatName();
  bool fillRaw();
  bool ensureRaw(std::size_t count);
  bool refill();
  // Each decodes up to one chunk of units; false when no bytes were left.
  bool decodeUtf8();
  bool decodeUtf16();
  bool decodeSingleByte();
  void normaliseLineEnds();
  // Keeps a conversion error until the units before it have been read.
  void setPendingError(const std::string& message);
  std::uint64_t rawOffsetOf(std::size_t index) const { return rawBase_ + index; }

  std::istream* stream_;
  std::u16string publicId_;
  std::u16string systemId_;
  TTextPosition origin_;
  TEncoding encoding_ = TEncoding::Utf8;
  TDeclaredEncoding declared_;
  std::u16string formatName_;

  std::vector<char> raw_;
  std::size_t rawPos_ = 0;
  std::size_t rawEnd_ = 0;
  std::uint64_t rawBase_ = 0;
  bool streamEnded_ = false;
  std::size_t bodyStart_ = 0;

  std::unique_ptr<char16_t[]> unitBuffer_;
  std::size_t unitCount_ = 0;
  std::size_t unitPos_ = 0;
  bool lastWasCr_ = false;
  std::exception_ptr pendingError_;
};

} // namespace xml
