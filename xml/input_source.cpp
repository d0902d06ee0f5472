#include "xml/input_source.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "xml/attribute_rules.h"
#include "xml/char_classes.h"
#include "xml/code_page_tables.h"
#include "xml/stream_exceptions.h"
#include "xml/text_conversion.h"

namespace xml {

namespace {

// Buffers start small (entity texts and subsets are short) and grow while
// reads keep filling them.
constexpr std::size_t kFirstRawChunk = 4 * 1024;
constexpr std::size_t kRawChunk = 64 * 1024;
constexpr std::size_t kUnitChunk = 16 * 1024;
// Room for the units one multi-byte sequence adds after the chunk is full.
constexpr std::size_t kUnitSlack = 4;

struct TEncodingName {
  std::u16string_view name;
  TEncoding encoding;
};

// The names of the table of supported encodings, with the aliases IANA
// registers and a few more in common use. An encoding's first name is the
// one its conversion errors use.
constexpr TEncodingName kEncodingNames[] = {
    {u"UTF-8", TEncoding::Utf8},
    {u"UTF8", TEncoding::Utf8},
    {u"UTF-16", TEncoding::Utf16LE},
    {u"UTF16", TEncoding::Utf16LE},
    {u"UTF-16LE", TEncoding::Utf16LE},
    {u"UTF-16BE", TEncoding::Utf16BE},
    {u"US-ASCII", TEncoding::UsAscii},
    {u"ASCII", TEncoding::UsAscii},
    {u"ANSI_X3.4-1968", TEncoding::UsAscii},
    {u"ISO646-US", TEncoding::UsAscii},
    {u"ISO-8859-1", TEncoding::Iso8859_1},
    {u"ISO_8859-1", TEncoding::Iso8859_1},
    {u"Latin-1", TEncoding::Iso8859_1},
    {u"latin1", TEncoding::Iso8859_1},
    {u"ISO-8859-2", TEncoding::Iso8859_2},
    {u"ISO_8859-2", TEncoding::Iso8859_2},
    {u"Latin-2", TEncoding::Iso8859_2},
    {u"latin2", TEncoding::Iso8859_2},
    {u"ISO-8859-3", TEncoding::Iso8859_3},
    {u"ISO_8859-3", TEncoding::Iso8859_3},
    {u"Latin-3", TEncoding::Iso8859_3},
    {u"latin3", TEncoding::Iso8859_3},
    {u"ISO-8859-4", TEncoding::Iso8859_4},
    {u"ISO_8859-4", TEncoding::Iso8859_4},
    {u"Latin-4", TEncoding::Iso8859_4},
    {u"latin4", TEncoding::Iso8859_4},
    {u"ISO-8859-5", TEncoding::Iso8859_5},
    {u"ISO_8859-5", TEncoding::Iso8859_5},
    {u"Cyrillic", TEncoding::Iso8859_5},
    {u"ISO-8859-6", TEncoding::Iso8859_6},
    {u"ISO_8859-6", TEncoding::Iso8859_6},
    {u"Arabic", TEncoding::Iso8859_6},
    {u"ISO-8859-7", TEncoding::Iso8859_7},
    {u"ISO_8859-7", TEncoding::Iso8859_7},
    {u"Greek", TEncoding::Iso8859_7},
    {u"ISO-8859-8", TEncoding::Iso8859_8},
    {u"ISO_8859-8", TEncoding::Iso8859_8},
    {u"Hebrew", TEncoding::Iso8859_8},
    {u"ISO-8859-9", TEncoding::Iso8859_9},
    {u"ISO_8859-9", TEncoding::Iso8859_9},
    {u"Latin-5", TEncoding::Iso8859_9},
    {u"latin5", TEncoding::Iso8859_9},
    {u"ISO-8859-10", TEncoding::Iso8859_10},
    {u"Latin-6", TEncoding::Iso8859_10},
    {u"latin6", TEncoding::Iso8859_10},
    {u"ISO-8859-13", TEncoding::Iso8859_13},
    {u"Latin-7", TEncoding::Iso8859_13},
    {u"ISO-8859-14", TEncoding::Iso8859_14},
    {u"ISO_8859-14", TEncoding::Iso8859_14},
    {u"Latin-8", TEncoding::Iso8859_14},
    {u"latin8", TEncoding::Iso8859_14},
    {u"ISO-8859-15", TEncoding::Iso8859_15},
    {u"ISO_8859-15", TEncoding::Iso8859_15},
    {u"Latin-9", TEncoding::Iso8859_15},
    {u"KOI8-R", TEncoding::Koi8R},
    {u"cp10000_MacRoman", TEncoding::MacRoman},
    {u"macintosh", TEncoding::MacRoman},
    {u"cp1250", TEncoding::Windows1250},
    {u"windows-1250", TEncoding::Windows1250},
    {u"cp1251", TEncoding::Windows1251},
    {u"windows-1251", TEncoding::Windows1251},
    {u"cp1252", TEncoding::Windows1252},
    {u"windows-1252", TEncoding::Windows1252},
    {u"cp1253", TEncoding::Windows1253},
    {u"windows-1253", TEncoding::Windows1253},
    {u"cp1254", TEncoding::Windows1254},
    {u"windows-1254", TEncoding::Windows1254},
    {u"cp1255", TEncoding::Windows1255},
    {u"windows-1255", TEncoding::Windows1255},
    {u"cp1256", TEncoding::Windows1256},
    {u"windows-1256", TEncoding::Windows1256},
    {u"cp1257", TEncoding::Windows1257},
    {u"windows-1257", TEncoding::Windows1257},
    {u"cp1258", TEncoding::Windows1258},
    {u"windows-1258", TEncoding::Windows1258},
};

bool isUtf16(TEncoding encoding) { return encoding == TEncoding::Utf16LE || encoding == TEncoding::Utf16BE; }

char16_t asciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b)
{
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return asciiLower(x) == asciiLower(y); });
}

// The name a code page's conversion errors use: its first in kEncodingNames.
std::string codePageErrorName(TEncoding encoding)
{
  const auto entry = std::find_if(std::begin(kEncodingNames), std::end(kEncodingNames),
                                  [encoding](const TEncodingName& e) { return e.encoding == encoding; });
  return toUtf8(entry->name);
}

} // namespace

std::optional<TEncoding> encodingFromName(std::u16string_view name)
{
  for (const TEncodingName& entry : kEncodingNames)
    if (equalsIgnoringAsciiCase(entry.name, name))
      return entry.encoding;
  return std::nullopt;
}

TInputSource::TInputSource(std::istream* stream, std::u16string publicId, std::u16string systemId,
                           TDeclaredEncoding declared)
    : stream_(stream), publicId_(std::move(publicId)), systemId_(std::move(systemId)), declared_(declared)
{
  if (stream_ == nullptr)
    throw EStreamError("Stream not specified.");
  raw_.resize(kFirstRawChunk);
  unitBuffer_ = std::make_unique_for_overwrite<char16_t[]>(kUnitChunk + kUnitSlack);
  fillRaw();
  detectEncoding();
  prescanFormatName();
  reset();
}

bool TInputSource::fillRaw()
{
  if (streamEnded_)
    return false;
  if (rawEnd_ == raw_.size()) {
    // Keep the unread tail; everything before it has been decoded.
    std::memmove(raw_.data(), raw_.data() + rawPos_, rawEnd_ - rawPos_);
    rawBase_ += rawPos_;
    rawEnd_ -= rawPos_;
    rawPos_ = 0;
    if (raw_.size() < kRawChunk)
      raw_.resize(raw_.size() * 4);
  }
  stream_->read(raw_.data() + rawEnd_, static_cast<std::streamsize>(raw_.size() - rawEnd_));
  std::size_t got = static_cast<std::size_t>(stream_->gcount());
  if (stream_->bad())
    throw EReadError("Stream read error.");
  if (got == 0) {
    streamEnded_ = true;
    return false;
  }
  rawEnd_ += got;
  return true;
}

bool TInputSource::ensureRaw(std::size_t count)
{
  while (rawEnd_ - rawPos_ < count && fillRaw()) {
  }
  return rawEnd_ - rawPos_ >= count;
}

// Byte-order marks first, then the encoding pseudo-attribute of an XML
// declaration; everything else is UTF-8.
void TInputSource::detectEncoding()
{
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(raw_[i]); };
  std::size_t n = rawEnd_;
  if (n >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    encoding_ = TEncoding::Utf16LE;
    bodyStart_ = 2;
  } else if (n >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    encoding_ = TEncoding::Utf16BE;
    bodyStart_ = 2;
  } else if (n >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    // XML 1.0 allows the UTF-8 mark; it is not part of the document.
    encoding_ = TEncoding::Utf8;
    bodyStart_ = 3;
  } else if (n >= 6 && std::memcmp(raw_.data(), "<?xml", 5) == 0 && isXmlWhiteSpace(byte(5))) {
    const char* begin = raw_.data() + 5;
    const char* question = std::find(begin, static_cast<const char*>(raw_.data() + n), '?');
    if (question == raw_.data() + n)
      return;
    try {
      TPseudoAttributes attributes;
      parseAttributes(fromLatin1(std::string_view(begin, question - begin)), attributes);
      // Bytes that spell "<?xml" are no UTF-16: a document that says so is
      // read as UTF-8 far enough for the reader to reject its declaration.
      std::optional<TEncoding> named = encodingFromName(attributes.value(u"encoding"));
      if (named && !isUtf16(*named))
        encoding_ = *named;
    } catch (const std::exception&) {
      encoding_ = TEncoding::Utf8;
    }
  }
}

std::string TInputSource::declaredEncodingProblem(std::u16string_view name) const
{
  if (declared_ == TDeclaredEncoding::Ignored)
    return {};
  std::optional<TEncoding> named = encodingFromName(name);
  if (!named)
    return "Unknown encoding \"" + toUtf8(name) + "\" error.";
  // Without a mark the declaration chose the decoder; a mark was read first
  // and the declaration must agree with it.
  bool markedUtf8 = bodyStart_ != 0 && encoding_ == TEncoding::Utf8;
  if (isUtf16(*named) != isUtf16(encoding_) || (markedUtf8 && *named != TEncoding::Utf8))
    return "Encoding \"" + toUtf8(name) + "\" does not match the document error.";
  return {};
}

// Skips processing instructions and comments up to the document type
// declaration or the first start tag and keeps the name found there.
void TInputSource::prescanFormatName()
{
  try {
    char16_t c = 0;
    auto next = [&]() { return getNextChar(c); };
    auto skipPast = [&](std::u16string_view terminator) {
      std::u16string tail;
      while (next()) {
        tail += c;
        if (tail.size() > terminator.size())
          tail.erase(0, 1);
        if (tail == terminator)
          return true;
      }
      return false;
    };
    auto readName = [&]() {
      std::u16string name;
      while (next() && !isXmlWhiteSpace(c) && c != u'>' && c != u'/' && c != u'[')
        name += c;
      return name;
    };
    while (next()) {
      if (c != u'<')
        continue;
      if (!next())
        return;
      if (c == u'?') {
        if (!skipPast(u"?>"))
          return;
      } else if (c == u'!') {
        std::u16string keyword;
        while (keyword.size() < 7 && next()) {
          keyword += c;
          if (keyword == u"--")
            break;
        }
        if (keyword == u"--") {
          if (!skipPast(u"-->"))
            return;
          continue;
        }
        if (keyword != u"DOCTYPE")
          return;
        while (next() && isXmlWhiteSpace(c)) {
        }
        std::u16string name(1, c);
        name += readName();
        if (isXmlName(name))
          formatName_ = name;
        return;
      } else {
        std::u16string name(1, c);
        name += readName();
        if (isXmlName(name))
          formatName_ = name;
        return;
      }
    }
  } catch (const std::exception&) {
    formatName_.clear();
  }
}

void TInputSource::reset()
{
  unitCount_ = 0;
  unitPos_ = 0;
  lastWasCr_ = false;
  pendingError_ = nullptr;
  if (rawBase_ != 0) {
    stream_->clear();
    stream_->seekg(0);
    if (stream_->fail())
      throw EReadError("Stream read error.");
    rawBase_ = 0;
    rawEnd_ = 0;
    streamEnded_ = false;
    fillRaw();
  }
  rawPos_ = std::min(bodyStart_, rawEnd_);
}

bool TInputSource::getNextChar(char16_t& unit)
{
  if (unitPos_ == unitCount_ && !refill())
    return false;
  unit = unitBuffer_[unitPos_++];
  return true;
}

std::u16string_view TInputSource::nextUnits()
{
  if (unitPos_ == unitCount_ && !refill())
    return {};
  std::u16string_view run(unitBuffer_.get() + unitPos_, unitCount_ - unitPos_);
  unitPos_ = unitCount_;
  return run;
}

bool TInputSource::refill()
{
  unitCount_ = 0;
  unitPos_ = 0;
  while (unitCount_ == 0) {
    if (pendingError_)
      std::rethrow_exception(std::exchange(pendingError_, nullptr));
    bool more;
    switch (encoding_) {
    case TEncoding::Utf8: more = decodeUtf8(); break;
    case TEncoding::Utf16LE:
    case TEncoding::Utf16BE: more = decodeUtf16(); break;
    default: more = decodeSingleByte(); break;
    }
    normaliseLineEnds();
    if (!more && unitCount_ == 0) {
      if (pendingError_)
        std::rethrow_exception(std::exchange(pendingError_, nullptr));
      return false;
    }
  }
  return true;
}

void TInputSource::setPendingError(const std::string& message)
{
  pendingError_ = std::make_exception_ptr(EConvertError(message));
}

bool TInputSource::decodeUtf8()
{
  static constexpr char32_t kMasks[7] = {0, 0, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF, 0x7FFFFFFF};
  static constexpr char32_t kLargestOverlong[7] = {0, 0, 0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF};
  char16_t* out = unitBuffer_.get();
  bool sawInput = false;
  while (unitCount_ < kUnitChunk) {
    if (rawPos_ == rawEnd_ && !fillRaw())
      break;
    sawInput = true;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(raw_.data());
    std::size_t end = std::min(rawEnd_, rawPos_ + (kUnitChunk - unitCount_));
    // Eight bytes at a time while none has its top bit set.
    std::size_t asciiEnd = rawPos_;
    while (asciiEnd + 8 <= end) {
      std::uint64_t word;
      std::memcpy(&word, bytes + asciiEnd, 8);
      if ((word & 0x8080808080808080ull) != 0)
        break;
      asciiEnd += 8;
    }
    while (asciiEnd < end && bytes[asciiEnd] < 0x80)
      ++asciiEnd;
    std::copy(bytes + rawPos_, bytes + asciiEnd, out + unitCount_);
    unitCount_ += asciiEnd - rawPos_;
    rawPos_ = asciiEnd;
    if (asciiEnd == end)
      continue;

    std::uint64_t leadOffset = rawOffsetOf(rawPos_);
    unsigned char lead = bytes[rawPos_];
    int length = 0;
    while (length < 8 && (lead & (0x80 >> length)))
      ++length;
    if (length == 1 || length > 6) {
      setPendingError("Invalid UTF-8 sequence at position " + std::to_string(leadOffset));
      break;
    }
    if (!ensureRaw(length)) {
      // The stream ends inside the sequence; the offset is the stream size.
      std::size_t available = rawEnd_ - rawPos_;
      bytes = reinterpret_cast<const unsigned char*>(raw_.data());
      for (std::size_t k = 1; k < available; ++k)
        if ((bytes[rawPos_ + k] & 0xC0) != 0x80) {
          setPendingError("Invalid UTF-8 sequence at position " + std::to_string(rawOffsetOf(rawPos_ + k)));
          return true;
        }
      setPendingError("Aborted UTF-8 sequence at position " + std::to_string(rawOffsetOf(rawEnd_)));
      break;
    }
    bytes = reinterpret_cast<const unsigned char*>(raw_.data());
    leadOffset = rawOffsetOf(rawPos_);
    char32_t value = lead & (0x7F >> length);
    bool broken = false;
    for (int k = 1; k < length; ++k) {
      unsigned char next = bytes[rawPos_ + k];
      if ((next & 0xC0) != 0x80) {
        setPendingError("Invalid UTF-8 sequence at position " + std::to_string(rawOffsetOf(rawPos_ + k)));
        broken = true;
        break;
      }
      value = (value << 6) | (next & 0x3F);
    }
    if (broken)
      break;
    value &= kMasks[length];
    if (value <= kLargestOverlong[length]) {
      setPendingError("Invalid UTF-8 encoding at position " + std::to_string(leadOffset));
      break;
    }
    // No surrogate pair carries a value above U+10FFFF, and encoded
    // surrogates are not characters.
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
      setPendingError("Invalid UTF-8 sequence at position " + std::to_string(leadOffset));
      break;
    }
    rawPos_ += length;
    if (value < 0x10000) {
      out[unitCount_++] = static_cast<char16_t>(value);
    } else {
      out[unitCount_++] = static_cast<char16_t>((value >> 10) + 0xD7C0);
      out[unitCount_++] = static_cast<char16_t>(0xDC00 | (value & 0x3FF));
    }
  }
  return sawInput;
}

bool TInputSource::decodeUtf16()
{
  const bool bigEndian = encoding_ == TEncoding::Utf16BE;
  char16_t* out = unitBuffer_.get();
  bool sawInput = false;
  while (unitCount_ < kUnitChunk) {
    if (rawEnd_ - rawPos_ < 2 && !ensureRaw(2)) {
      if (rawEnd_ != rawPos_)
        setPendingError("Aborted UTF-16 sequence at position " + std::to_string(rawOffsetOf(rawEnd_)));
      break;
    }
    sawInput = true;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(raw_.data());
    std::size_t pairs = std::min((rawEnd_ - rawPos_) / 2, kUnitChunk - unitCount_);
    for (std::size_t k = 0; k < pairs; ++k, rawPos_ += 2) {
      unsigned first = bytes[rawPos_];
      unsigned second = bytes[rawPos_ + 1];
      out[unitCount_++] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
  }
  return sawInput;
}

bool TInputSource::decodeSingleByte()
{
  const TCodePageHalf* upper = codePageUpperHalf(static_cast<int>(encoding_));
  char16_t* out = unitBuffer_.get();
  bool sawInput = false;
  while (unitCount_ < kUnitChunk) {
    if (rawPos_ == rawEnd_ && !fillRaw())
      break;
    sawInput = true;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(raw_.data());
    std::size_t end = std::min(rawEnd_, rawPos_ + (kUnitChunk - unitCount_));
    if (upper == nullptr) {
      std::size_t count = end - rawPos_;
      std::copy(bytes + rawPos_, bytes + end, out + unitCount_);
      unitCount_ += count;
      rawPos_ = end;
      continue;
    }
    for (; rawPos_ < end; ++rawPos_) {
      unsigned char b = bytes[rawPos_];
      char16_t unit = b < 0x80 ? b : (*upper)[b - 0x80];
      if (unit == kUndefinedByte) {
        setPendingError("Invalid " + codePageErrorName(encoding_) + " sequence \"" +
                        toUtf8(std::u16string(1, char16_t(b))) + "\"");
        return true;
      }
      out[unitCount_++] = unit;
    }
  }
  return sawInput;
}

// CR is delivered as LF; an LF directly after a CR is dropped.
void TInputSource::normaliseLineEnds()
{
  char16_t* units = unitBuffer_.get();
  char16_t* end = units + unitCount_;
  if (unitCount_ == 0)
    return;
  if (!lastWasCr_ && std::find(units, end, u'\r') == end)
    return;
  std::size_t write = 0;
  for (char16_t* read = units; read != end; ++read) {
    char16_t u = *read;
    if (u == u'\r') {
      units[write++] = u'\n';
      lastWasCr_ = true;
    } else if (u == u'\n' && lastWasCr_) {
      lastWasCr_ = false;
    } else {
      units[write++] = u;
      lastWasCr_ = false;
    }
  }
  unitCount_ = write;
}

} // namespace xml
