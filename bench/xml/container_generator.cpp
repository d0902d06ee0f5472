#include "container_generator.h"

#include <sys/resource.h>

#include <cstdio>

namespace bench {

namespace {

// Writes markup and counts its size, so generation stops near the target.
class TMarkupWriter : public TContainerSink {
public:
  void startElement(const std::string& name, const std::vector<std::pair<std::string, std::string>>& attributes) override
  {
    out += '<';
    out += name;
    for (const auto& [attribute, value] : attributes) {
      out += ' ';
      out += attribute;
      out += "=\"";
      out += value;
      out += '"';
    }
    out += '>';
  }
  void text(const std::string& latin1) override
  {
    for (char c : latin1) {
      if (c == '<')
        out += "&lt;";
      else if (c == '&')
        out += "&amp;";
      else
        out += c;
    }
  }
  void endElement(const std::string& name) override
  {
    out += "</";
    out += name;
    out += '>';
  }
  std::string out;
};

// Counts bytes like TMarkupWriter without keeping them.
class TSizeCounter : public TContainerSink {
public:
  TSizeCounter(TContainerSink& inner) : inner_(inner) {}
  void startElement(const std::string& name, const std::vector<std::pair<std::string, std::string>>& attributes) override
  {
    bytes += name.size() + 2;
    for (const auto& [attribute, value] : attributes)
      bytes += attribute.size() + value.size() + 4;
    inner_.startElement(name, attributes);
  }
  void text(const std::string& latin1) override
  {
    bytes += latin1.size();
    inner_.text(latin1);
  }
  void endElement(const std::string& name) override
  {
    bytes += name.size() + 3;
    inner_.endElement(name);
  }
  std::size_t bytes = 0;

private:
  TContainerSink& inner_;
};

std::string hexLine(unsigned seed, int length)
{
  static const char digits[] = "0123456789ABCDEF";
  std::string line(length, '0');
  for (int i = 0; i < length; ++i) {
    seed = seed * 1103515245u + 12345u;
    line[i] = digits[(seed >> 16) & 15];
  }
  return line;
}

void simpleElement(TContainerSink& sink, const std::string& name, const std::string& text)
{
  sink.startElement(name, {});
  sink.text(text);
  sink.endElement(name);
}

} // namespace

void generateContainer(std::size_t targetBytes, TContainerSink& out)
{
  TSizeCounter sink(out);
  sink.startElement("ecu-mem", {{"version", "1.2"}});
  sink.text("\n ");
  sink.startElement("project-info", {});
  simpleElement(sink, "ecu-ident", "ECU 4711 Motorsteuerger\xE4t");
  simpleElement(sink, "sw-ident", "SW-0815-A");
  simpleElement(sink, "EMAIL", "flash@example.org");
  simpleElement(sink, "description", "Kennfelder f\xFCr \xDC" "bergr\xF6\xDF" "e & Gr\xFC\xDF" "e");
  sink.endElement("project-info");
  sink.text("\n ");
  sink.startElement("datablocks", {});
  unsigned block = 0;
  while (sink.bytes < targetBytes) {
    ++block;
    std::string id = std::to_string(block);
    sink.text("\n  ");
    sink.startElement("datablock", {{"id", "DB" + id}, {"type", block % 3 ? "data" : "code"}, {"compress", "no"}});
    sink.text("\n   ");
    simpleElement(sink, "name", "Block " + id + " \x96 Z\xFCndwinkel-Kennfeld \xC4nderung");
    sink.text("\n   ");
    simpleElement(sink, "description", "Daten f\xFCr Stra\xDF" "enbetrieb, gepr\xFC" "ft am " + id);
    for (int segment = 0; segment < 4; ++segment) {
      sink.text("\n   ");
      sink.startElement("segment", {{"start-address", "0x" + hexLine(block * 7 + segment, 8)}, {"size", "4096"}});
      for (int line = 0; line < 8; ++line) {
        sink.text("\n    ");
        sink.startElement("data", {{"line", std::to_string(line)}});
        sink.text(hexLine(block * 131 + segment * 17 + line, 128));
        sink.endElement("data");
      }
      sink.text("\n   ");
      sink.endElement("segment");
    }
    sink.text("\n  ");
    sink.endElement("datablock");
  }
  sink.text("\n ");
  sink.endElement("datablocks");
  sink.text("\n");
  sink.endElement("ecu-mem");
}

std::string containerFileText(std::size_t targetBytes)
{
  TMarkupWriter writer;
  writer.out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
               "<!DOCTYPE ecu-mem PUBLIC \"-//ECU//DTD ecu-mem 1.2//EN\" \"ecum0102.dtd\">\n";
  generateContainer(targetBytes, writer);
  writer.out += '\n';
  return writer.out;
}

std::string declarationsFileText(std::size_t count)
{
  std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE r [\n";
  std::string attributeList;
  for (std::size_t i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    switch (i % 4) {
    case 0:
    case 1: text += "<!ENTITY e" + n + " \"value " + n + "\">\n"; break;
    case 2: text += "<!NOTATION n" + n + " SYSTEM \"n" + n + ".exe\">\n"; break;
    default:
      attributeList += "\n  a" + n + " CDATA #IMPLIED";
      if (i % 4000 == 3999 || i + 4 >= count) {
        text += "<!ATTLIST r" + attributeList + ">\n";
        attributeList.clear();
      }
    }
  }
  return text + "]>\n<r a0=\"&e0;\">&e1;</r>\n";
}

long peakResidentKiB()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double processorSeconds()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace bench
