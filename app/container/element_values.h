#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/content_handler.h"
#include "xml/doc_builder.h"

namespace ftp {
class TFileSource;
}
namespace xml {
class TDomDocument;
class TDomImplementation;
class TDomNode;
}  // namespace xml

namespace app {

// Reads a document as a stream of tags and hands on the values of the
// elements a subclass asks for (their content written as XML, as
// ElementValue gives it), without building the rest of the document: the
// memory taken is that of the elements asked for, whatever the size of the
// file. The reading stops as soon as the subclass calls Stop().
class ElementValues : public xml::TContentHandler {
 public:
  ElementValues();
  ~ElementValues() override;

  // Reads `source` until its end or Stop(). Raises the parser's errors for
  // markup that is not well-formed before that point.
  void Read(ftp::TFileSource& source);

 protected:
  // Each start tag in document order, with its name and depth (0 for the
  // root); a tag of 0 or more asks for the element's value under that tag.
  virtual int OnStart(std::string_view name, int depth) = 0;
  // The value of an element asked for, when its end tag is read.
  virtual void OnValue(int tag, std::string value) = 0;
  // Ends the reading once the caller's OnValue returns.
  [[noreturn]] static void Stop();

 private:
  struct Open {
    xml::TDomNode* node;
    int tag;
  };

  void startElement(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view name,
                    std::u16string_view attributeText) override;
  void endElement(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view name) override;
  void characters(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view text) override;
  void charRef(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view token) override;
  void entityRef(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view name) override;
  void cdataSection(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view text) override;
  void comment(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view text) override;
  void processingInstruction(xml::TDomParser* sender, const xml::TLocator* locator, std::u16string_view target,
                             std::u16string_view data) override;

  std::unique_ptr<xml::TDomImplementation> implementation_;
  xml::TDomDocument* scratch_;
  // The elements asked for are built below this node, one at a time; it
  // is no document, so the document-level rules do not apply to them.
  xml::TDomNode* holder_;
  xml::TDocBuilder builder_;
  std::vector<Open> open_;  // the elements being built, outermost first
  int depth_ = 0;
};

}  // namespace app
