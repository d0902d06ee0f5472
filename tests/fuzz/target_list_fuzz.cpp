// Arbitrary bytes as a target list: parsing and reading either succeed or
// raise the parser's or the reader's errors; nothing else, no crash, and no
// document is left behind.
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "app/workflow_errors.h"
#include "app/site/target_list.h"
#include "xml/dom.h"
#include "xml/dom_parser.h"
#include "xml/parser_exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static xml::TDomImplementation dom;
  static xml::TDomParser parser(&dom);
  xml::TDomDocument* list = nullptr;
  try {
    list = parser.parseBuffer(data, size);
  } catch (const xml::EParserException&) {
    if (dom.documents()->length() != 0) std::abort();
    return 0;
  }
  std::vector<app::rTargetList> rows;
  int reported = 0;
  try {
    app::ReadTargetRows(*list, rows, [&](const app::rTargetList& row) {
      ++reported;
      if (row.ShortName.size() > 10) std::abort();
    });
    app::FirstElementValue(*list, u"IntranetUrl");
    app::FirstElementValue(*list, u"ReadmeDate");
  } catch (const app::ETargetListError&) {
  } catch (const xml::EDomException&) {
    // An attribute value that refers to an undeclared entity.
  }
  if (reported > static_cast<int>(rows.size())) std::abort();
  dom.freeDocument(list);
  return 0;
}
