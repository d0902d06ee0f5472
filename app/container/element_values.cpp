#include "app/container/element_values.h"

#include <istream>

#include "app/container/container_fields.h"
#include "app/container/source_stream.h"
#include "platform/ansi.h"
#include "xml/doc_reader.h"
#include "xml/dom.h"
#include "xml/input_source.h"
#include "xml/parser_error.h"

namespace app {
namespace {

// Thrown through the reader to end it early; not an error.
struct Stopped {};

}  // namespace

ElementValues::ElementValues()
    : implementation_(std::make_unique<xml::TDomImplementation>()),
      scratch_(implementation_->createDocument(u"values", nullptr)),
      holder_(scratch_->createElement(u"values")) {
  builder_.setReferenceNode(holder_);
}

ElementValues::~ElementValues() { implementation_->freeDocument(scratch_); }

void ElementValues::Stop() { throw Stopped{}; }

void ElementValues::Read(ftp::TFileSource& source) {
  SourceStreamBuf bytes(source);
  std::istream stream(&bytes);
  xml::TInputSource input(&stream, std::u16string(), std::u16string());
  xml::TStandardErrorHandler errors;
  xml::TDocReader reader;
  reader.setContentHandler(this);
  reader.setErrorHandler(&errors);
  try {
    reader.parse(nullptr, input);
  } catch (const Stopped&) {
  }
}

void ElementValues::startElement(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view name,
                                 std::u16string_view attributeText) {
  const int tag = OnStart(platform::Utf16ToAnsi(name), depth_++);
  if (open_.empty() && tag < 0) return;
  // A new outermost element: what the last one left is dropped.
  if (open_.empty()) builder_.startDocument(nullptr, u"");
  xml::TDomNode* parent = open_.empty() ? holder_ : open_.back().node;
  builder_.startElement(sender, locator, name, attributeText);
  open_.push_back({parent->lastChild(), tag});
}

void ElementValues::endElement(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view name) {
  --depth_;
  if (open_.empty()) return;
  builder_.endElement(sender, locator, name);
  const Open done = open_.back();
  open_.pop_back();
  if (done.tag >= 0) OnValue(done.tag, ElementValue(*done.node));
}

void ElementValues::characters(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view text) {
  if (!open_.empty()) builder_.characters(sender, locator, text);
}

void ElementValues::charRef(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view token) {
  if (!open_.empty()) builder_.charRef(sender, locator, token);
}

void ElementValues::entityRef(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view name) {
  if (!open_.empty()) builder_.entityRef(sender, locator, name);
}

void ElementValues::cdataSection(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view text) {
  if (!open_.empty()) builder_.cdataSection(sender, locator, text);
}

void ElementValues::comment(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view text) {
  if (!open_.empty()) builder_.comment(sender, locator, text);
}

void ElementValues::processingInstruction(xml::TDomParser* sender, const xml::TLocator* locator,
                                          std::u16string_view target, std::u16string_view data) {
  if (!open_.empty()) builder_.processingInstruction(sender, locator, target, data);
}

}  // namespace app
