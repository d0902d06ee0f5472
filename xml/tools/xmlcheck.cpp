// xmlcheck FILE...: parses each file as the program does and prints
// "FILE: OK" or the English text of the first error record. Exits 0 only
// when every file parsed.
#include <cstdio>
#include <exception>
#include <string>

#include "xml/dom_document.h"
#include "xml/dom_implementation.h"
#include "xml/dom_parser.h"
#include "xml/text_conversion.h"

namespace {

// The report for one file: "OK" or why it failed.
std::string check(xml::TDomParser& parser, xml::TDomImplementation& dom, const std::string& fileName)
{
  parser.errorHandler().clearErrors();
  try {
    dom.freeDocument(parser.parseFile(fileName));
    return "OK";
  } catch (const std::exception& error) {
    const auto& records = parser.errorHandler().errors();
    if (records.empty())
      return error.what();
    return xml::toUtf8(records.front().getText(xml::TErrorLanguage::English));
  }
}

} // namespace

int main(int argc, char** argv)
{
  if (argc < 2) {
    std::fprintf(stderr, "usage: xmlcheck FILE...\n");
    return 2;
  }
  xml::TDomImplementation dom;
  xml::TDomParser parser(&dom);
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    std::string report = check(parser, dom, argv[i]);
    if (report != "OK")
      ++failures;
    std::printf("%s: %s\n", argv[i], report.c_str());
  }
  return failures == 0 ? 0 : 1;
}
