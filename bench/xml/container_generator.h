#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Receives a generated ECU memory container as element events; text is
// ISO-8859-1 (one byte per character).
class TContainerSink {
public:
  virtual ~TContainerSink() = default;
  virtual void startElement(const std::string& name, const std::vector<std::pair<std::string, std::string>>& attributes) = 0;
  virtual void text(const std::string& latin1) = 0;
  virtual void endElement(const std::string& name) = 0;
};

// Emits a realistic container of about `targetBytes` of markup: a
// project-info head, then data blocks with Latin-1 names and descriptions,
// nested segments and long hexadecimal data lines.
void generateContainer(std::size_t targetBytes, TContainerSink& sink);

// The same container as the bytes of an ISO-8859-1 file with its XML and
// document type declarations.
std::string containerFileText(std::size_t targetBytes);

// A document whose internal subset holds `count` declarations: half of them
// entities, a quarter notations and a quarter attribute definitions (a
// thousand to an attribute-list declaration), each name used once.
std::string declarationsFileText(std::size_t count);

// Peak resident memory of this process so far, in KiB.
long peakResidentKiB();
// Processor time (user and system) this process used so far, in seconds;
// steadier than wall time on a machine shared with other work.
double processorSeconds();

} // namespace bench
