// Builds the nodes of a generated container of the given size through a DOM
// API and reports node count, build time and peak memory. One DOM per run,
// so each process's peak memory is its own: ours, libxml2 or pugixml.
#include <libxml/tree.h>

#include <cstdio>
#include <cstring>
#include <pugixml.hpp>
#include <stack>

#include "container_generator.h"
#include "xml/dom.h"

namespace {

std::u16string fromLatin1(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string latin1ToUtf8(const std::string& text)
{
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

class TOurSink : public bench::TContainerSink {
public:
  explicit TOurSink(xml::TDomDocument* doc) : doc_(doc) { stack_.push(doc); }
  void startElement(const std::string& name, const std::vector<std::pair<std::string, std::string>>& attributes) override
  {
    xml::TDomElement* element = doc_->createElement(fromLatin1(name));
    for (const auto& [attribute, value] : attributes)
      element->setAttribute(fromLatin1(attribute), fromLatin1(value));
    stack_.top()->appendChild(element);
    stack_.push(element);
    nodes += 1 + 2 * attributes.size();
  }
  void text(const std::string& latin1) override
  {
    if (stack_.size() > 1) {
      stack_.top()->appendChild(doc_->createTextNode(fromLatin1(latin1)));
      ++nodes;
    }
  }
  void endElement(const std::string&) override { stack_.pop(); }
  std::size_t nodes = 0;

private:
  xml::TDomDocument* doc_;
  std::stack<xml::TDomNode*> stack_;
};

class TLibxml2Sink : public bench::TContainerSink {
public:
  explicit TLibxml2Sink(xmlDocPtr doc) : doc_(doc) {}
  void startElement(const std::string& name, const std::vector<std::pair<std::string, std::string>>& attributes) override
  {
    xmlNodePtr element = xmlNewDocNode(doc_, nullptr, BAD_CAST name.c_str(), nullptr);
    for (const auto& [attribute, value] : attributes)
      xmlNewProp(element, BAD_CAST attribute.c_str(), BAD_CAST latin1ToUtf8(value).c_str());
    if (stack_.empty())
      xmlDocSetRootElement(doc_, element);
    else
      xmlAddChild(stack_.top(), element);
    stack_.push(element);
  }
  void text(const std::string& latin1) override
  {
    if (!stack_.empty()) {
      std::string utf8 = latin1ToUtf8(latin1);
      xmlAddChild(stack_.top(), xmlNewDocTextLen(doc_, BAD_CAST utf8.c_str(), int(utf8.size())));
    }
  }
  void endElement(const std::string&) override { stack_.pop(); }

private:
  xmlDocPtr doc_;
  std::stack<xmlNodePtr> stack_;
};

class TPugiSink : public bench::TContainerSink {
public:
  explicit TPugiSink(pugi::xml_document& doc) { stack_.push(doc); }
  void startElement(const std::string& name, const std::vector<std::pair<std::string, std::string>>& attributes) override
  {
    pugi::xml_node element = stack_.top().append_child(name.c_str());
    for (const auto& [attribute, value] : attributes)
      element.append_attribute(attribute.c_str()).set_value(latin1ToUtf8(value).c_str());
    stack_.push(element);
  }
  void text(const std::string& latin1) override
  {
    if (stack_.size() > 1)
      stack_.top().append_child(pugi::node_pcdata).set_value(latin1ToUtf8(latin1).c_str());
  }
  void endElement(const std::string&) override { stack_.pop(); }

private:
  std::stack<pugi::xml_node> stack_;
};

} // namespace

int main(int argc, char** argv)
{
  if (argc != 3) {
    std::fprintf(stderr, "usage: xml_node_bench ours|libxml2|pugixml MEGABYTES\n");
    return 2;
  }
  std::string which = argv[1];
  std::size_t bytes = std::size_t(std::atof(argv[2]) * 1024 * 1024);
  long before = bench::peakResidentKiB();
  double start = bench::processorSeconds();
  std::size_t nodes = 0;
  if (which == "ours") {
    xml::TDomImplementation dom;
    xml::TDomDocument* doc = dom.createDocument(u"ecu-mem", nullptr);
    doc->clear();
    TOurSink sink(doc);
    bench::generateContainer(bytes, sink);
    nodes = sink.nodes;
    std::printf("arena_bytes=%zu\n", doc->arena().bytesReserved());
  } else if (which == "libxml2") {
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    TLibxml2Sink sink(doc);
    bench::generateContainer(bytes, sink);
    xmlFreeDoc(doc);
  } else {
    pugi::xml_document doc;
    TPugiSink sink(doc);
    bench::generateContainer(bytes, sink);
  }
  double seconds = bench::processorSeconds() - start;
  std::printf("nodes=%zu peak_kib=%ld seconds=%.3f\n", nodes, bench::peakResidentKiB() - before, seconds);
  return 0;
}
