#include "app/container/text_preparation.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "app/container/body_translation.h"
#include "app/container/container_encoding.h"
#include "app/file_system.h"
#include "app/local_files.h"
#include "app/container/container_text.h"
#include "app/workflow_errors.h"
#include "platform/interrupt_signals.h"

namespace app {
namespace {

constexpr std::string_view kSystemIdMarker = ".dtd\"";
constexpr std::string_view kVersion12Marker = "1.2//EN\"";
constexpr std::string_view kVersion11Marker = "1.1//EN\"";
constexpr std::string_view kVersion12SystemId = " \"ecum0102.dtd\"";
constexpr std::string_view kVersion11SystemId = " \"ecum0101.dtd\"";

// Where the first occurrence of each marker ends in the first line.
struct FirstLineMarkers {
  std::optional<std::size_t> systemId;
  std::optional<std::size_t> version12;
  std::optional<std::size_t> version11;
};

// Finds the markers in the first line, which may come in several pieces.
FirstLineMarkers ScanFirstLine(ContainerText& text) {
  FirstLineMarkers found;
  std::string tail;  // the last bytes seen, enough for the longest marker
  std::size_t offset = 0;
  const auto note = [&](std::optional<std::size_t>& where, std::string_view marker) {
    if (!where && tail.ends_with(marker)) where = offset;
  };
  text.ReadLine([&](std::string_view piece) {
    for (char c : piece) {
      tail += c;
      if (tail.size() > kVersion12Marker.size()) tail.erase(0, 1);
      ++offset;
      note(found.systemId, kSystemIdMarker);
      note(found.version12, kVersion12Marker);
      note(found.version11, kVersion11Marker);
    }
  });
  return found;
}

// Writes the first line with the system identifiers inserted where the
// version markers end.
void WriteFirstLine(ContainerText& text, const FirstLineMarkers& markers, PreparedOutput& out) {
  std::size_t offset = 0;
  text.ReadLine([&](std::string_view piece) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
      out.Write(piece.substr(i, 1));
      ++offset;
      if (markers.version12 == offset) out.Write(kVersion12SystemId);
      if (markers.version11 == offset) out.Write(kVersion11SystemId);
    }
  });
  out.Write("\r\n");
}

// Every further line through the dictionary, each ended by CR LF. Where the
// dictionary keeps CR and LF, the text between lone CRs goes through it in one
// piece, its CR LF pairs included, which is the same as line by line but
// without the cost per line.
class BodyWriter {
 public:
  BodyWriter(const BodyTranslation& translation, PreparedOutput& out)
      : translation_(translation), out_(out), keepsLineEnds_(translation.KeepsLineEnds()) {}

  void Write(std::string_view piece) {
    if (piece.empty()) return;
    std::size_t pos = 0;
    // The LF of a CR LF whose CR ended the previous piece.
    if (afterCr_ && piece[0] == '\n') pos = 1;
    afterCr_ = false;
    std::size_t segment = pos;
    while (const void* found = std::memchr(piece.data() + pos, '\r', piece.size() - pos)) {
      const std::size_t cr = static_cast<std::size_t>(static_cast<const char*>(found) - piece.data());
      const bool lf = cr + 1 < piece.size() && piece[cr + 1] == '\n';
      pos = cr + (lf ? 2 : 1);
      if (lf && keepsLineEnds_) continue;
      Translate(piece.substr(segment, cr - segment));
      out_.Write("\r\n");
      afterCr_ = cr + 1 == piece.size();
      segment = pos;
    }
    Translate(piece.substr(segment));
    lineOpen_ = segment < piece.size() && !piece.ends_with("\r\n");
  }
  // The last line gets its end even where the text has none.
  void Finish() {
    if (lineOpen_) out_.Write("\r\n");
  }

 private:
  void Translate(std::string_view text) {
    translation_.Append(text, out_.Buffer());
    out_.FlushIfFull();
  }

  const BodyTranslation& translation_;
  PreparedOutput& out_;
  const bool keepsLineEnds_;
  bool afterCr_ = false;
  bool lineOpen_ = false;
};

void ReadFromStart(int in) {
  if (!Rewind(in)) throw EInOutError(std::string("Cannot read the container: ") + std::strerror(errno));
}

ContainerEncoding EncodingAtStart(int in) {
  std::string head(kContainerHeadSize, '\0');
  head.resize(ReadAt(in, head.data(), head.size(), 0));
  return EncodingOfContainer(head);
}

}  // namespace

PreparedOutput::PreparedOutput(int file, std::string path, int compareWith)
    : file_(file), path_(std::move(path)), compareWith_(compareWith) {
  buffer_.reserve(kBlock + 4096);
}

void PreparedOutput::Write(std::string_view bytes) {
  buffer_ += bytes;
  FlushIfFull();
}

void PreparedOutput::Flush() {
  // A long preparation stops at a block when the run is interrupted; the
  // unfinished copy goes with its temporary file.
  platform::RaiseIfInterrupted();
  if (compareWith_ >= 0 && !differs_) Compare();
  if (file_ >= 0) WriteAll(file_, buffer_.data(), buffer_.size(), "Cannot write", path_);
  written_ += buffer_.size();
  buffer_.clear();
  // Start writing back what is done while the rest is translated, so the
  // final flush to disk has little left to wait for.
  if (file_ >= 0 && written_ - syncStarted_ >= kWriteBack) {
    StartWriteBack(file_, syncStarted_, written_ - syncStarted_);
    syncStarted_ = written_;
  }
}

void PreparedOutput::Compare() {
  compared_.resize(buffer_.size());
  const std::size_t got = ReadAt(compareWith_, compared_.data(), compared_.size(), written_);
  differs_ = got != buffer_.size() || std::memcmp(compared_.data(), buffer_.data(), got) != 0;
}

void PreparedOutput::Finish() {
  Flush();
  if (compareWith_ < 0 || differs_) return;
  char beyond;
  differs_ = ReadAt(compareWith_, &beyond, 1, written_) != 0;
}

TextPreparation PrepareText(int in, const entity::TCharToEntityTranslator& translator, PreparedOutput& out) {
  const ContainerEncoding encoding = EncodingAtStart(in);
  if (encoding == ContainerEncoding::kUnreadable) return {.leftAsItIs = true};
  try {
    ReadFromStart(in);
    ContainerText scan(in, 1 << 16);
    const FirstLineMarkers markers = ScanFirstLine(scan);
    ReadFromStart(in);

    // A system identifier already there: the first line stays as it is.
    const bool hasSystemId = markers.systemId.has_value();
    ContainerText text(in);
    WriteFirstLine(text, hasSystemId ? FirstLineMarkers{} : markers, out);
    const std::unique_ptr<BodyTranslation> translation = TranslationFor(encoding, translator);
    const auto pieceEnd = encoding == ContainerEncoding::kUtf8 ? ContainerText::PieceEnd::kUtf8Character
                                                               : ContainerText::PieceEnd::kAnyByte;
    BodyWriter body(*translation, out);
    for (std::string_view piece; !out.Done() && !(piece = text.NextPiece(pieceEnd)).empty();) body.Write(piece);
    body.Finish();
    out.Finish();
    return {.hasSystemId = hasSystemId};
  } catch (const ENotEightBitText&) {
    return {.leftAsItIs = true};
  }
}

}  // namespace app
