// xmlcheck FILE...: parses each file as the program does and prints
// "FILE: OK" or the English text of the fatal error, then the file's
// warnings, one line each. Exits 0 only when every file parsed.
#include <cstdio>
#include <exception>
#include <string>

#include "xml/dom_document.h"
#include "xml/dom_implementation.h"
#include "xml/dom_parser.h"
#include "xml/text_conversion.h"

namespace {

std::string line(const std::string& fileName, const std::string& text) { return fileName + ": " + text + "\n"; }

std::string line(const std::string& fileName, const xml::TParserErrorRecord& record)
{
  return line(fileName, xml::toUtf8(record.getText(xml::TErrorLanguage::English)));
}

// The report for one file; sets `failed` when it did not parse.
std::string check(xml::TDomParser& parser, xml::TDomImplementation& dom, const std::string& fileName, bool& failed)
{
  const auto& records = parser.errorHandler().errors();
  parser.errorHandler().clearErrors();
  std::string report;
  failed = false;
  try {
    dom.freeDocument(parser.parseFile(fileName));
    report = line(fileName, "OK");
  } catch (const std::exception& error) {
    failed = true;
    report = line(fileName, error.what());
    // The first fatal record is the innermost: a failed read of a
    // parameter entity is recorded again where the entity was referenced.
    for (const xml::TParserErrorRecord& record : records)
      if (record.severity() == xml::TErrorSeverity::FatalError) {
        report = line(fileName, record);
        break;
      }
  }
  for (const xml::TParserErrorRecord& record : records)
    if (record.severity() == xml::TErrorSeverity::Warning)
      report += line(fileName, record);
  return report;
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
    bool failed = false;
    std::fputs(check(parser, dom, argv[i], failed).c_str(), stdout);
    if (failed)
      ++failures;
  }
  return failures == 0 ? 0 : 1;
}
