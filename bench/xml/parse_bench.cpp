// Parses one file into a DOM and reports time and peak memory, one parser
// per process: ours (parseFile), libxml2 (xmlReadFile) or pugixml
// (load_file). "ours-twice" parses, frees and parses again, as the program
// does per send. "make SIZE_MB FILE" writes a generated container,
// "make-declarations COUNT FILE" a document with COUNT declarations.
#include <libxml/parser.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <pugixml.hpp>
#include <string>

#include "container_generator.h"
#include "xml/dom.h"
#include "xml/dom_parser.h"

int main(int argc, char** argv)
{
  if (argc == 4 && std::string(argv[1]) == "make") {
    std::ofstream(argv[3], std::ios::binary) << bench::containerFileText(std::size_t(std::atof(argv[2]) * 1024 * 1024));
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "make-declarations") {
    std::ofstream(argv[3], std::ios::binary) << bench::declarationsFileText(std::size_t(std::atol(argv[2])));
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: xml_parse_bench ours|ours-twice|libxml2|pugixml FILE | make SIZE_MB FILE"
                         " | make-declarations COUNT FILE\n");
    return 2;
  }
  std::string which = argv[1];
  const char* file = argv[2];
  long before = bench::peakResidentKiB();
  double start = bench::processorSeconds();
  bool ok = true;
  if (which == "ours" || which == "ours-twice") {
    xml::TDomImplementation dom;
    xml::TDomParser parser(&dom);
    for (int round = which == "ours" ? 1 : 2; round > 0; --round) {
      xml::TDomDocument* doc = parser.parseFile(file);
      ok = doc->documentElement() != nullptr;
      dom.freeDocument(doc);
    }
  } else if (which == "libxml2") {
    xmlDocPtr doc = xmlReadFile(file, nullptr, XML_PARSE_HUGE);
    ok = doc != nullptr;
    xmlFreeDoc(doc);
  } else {
    pugi::xml_document doc;
    ok = bool(doc.load_file(file));
  }
  double seconds = bench::processorSeconds() - start;
  std::printf("ok=%d peak_kib=%ld seconds=%.3f\n", ok ? 1 : 0, bench::peakResidentKiB() - before, seconds);
  return ok ? 0 : 1;
}
