#include "checker/container_parser.h"

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <new>

namespace mmx {
namespace {

struct ParseState {
  xmlCatalog* catalog;  // null when the catalog could not be loaded
  const std::string& catalog_path;
  const std::string& container_path;
  ParsedContainer& result;
  FindingList& findings;
  bool dtd_missing = false;  // then validity errors only repeat that one finding
};

ParseState& StateOf(void* parser) {
  return *static_cast<ParseState*>(static_cast<xmlParserCtxt*>(parser)->_private);
}

std::string WithoutTrailingNewline(const char* text) {
  std::string message = text == nullptr ? "" : text;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

bool IsTheDocumentsDtd(const xmlParserCtxt* parser, const xmlChar* public_id, const xmlChar* system_id) {
  const xmlDtd* declared = parser->myDoc == nullptr ? nullptr : parser->myDoc->intSubset;
  return parser->inSubset == 2 && declared != nullptr && xmlStrEqual(public_id, declared->ExternalID) &&
         xmlStrEqual(system_id, declared->SystemID);
}

std::string DescribeIdentifiers(const xmlChar* public_id, const xmlChar* system_id) {
  std::string text;
  if (public_id != nullptr) text += "\"" + FromXml(public_id) + "\"";
  if (system_id != nullptr && *system_id != 0) text += (text.empty() ? "\"" : " \"") + FromXml(system_id) + "\"";
  return text;
}

xmlParserInputPtr LoadDtd(xmlParserCtxt* parser, ParseState& state, const xmlChar* public_id,
                          const xmlChar* system_id) {
  const xmlChar* system_or_null = system_id != nullptr && *system_id != 0 ? system_id : nullptr;
  XmlString resolved(state.catalog == nullptr ? nullptr : xmlACatalogResolve(state.catalog, public_id, system_or_null));
  const std::string named = DescribeIdentifiers(public_id, system_id);
  if (!resolved) {
    state.dtd_missing = true;
    state.findings.Add({Severity::kError, Origin::kDtd, 0,
                        "The DTD " + named + " is not in the catalog " + state.catalog_path +
                            ", so the container could not be validated."});
    return nullptr;
  }
  xmlParserInputPtr input = xmlNewInputFromFile(parser, reinterpret_cast<const char*>(resolved.get()));
  if (input == nullptr) {
    state.dtd_missing = true;
    state.findings.Add({Severity::kError, Origin::kDtd, 0,
                        "The catalog names " + FromXml(resolved.get()) + " for the DTD " + named +
                            ", but that file cannot be read."});
    return nullptr;
  }
  state.result.dtd = FromXml(resolved.get());
  return input;
}

// Finds the document's DTD through the catalog only; other external entities
// load as libxml2 would load them, from local files (the parse forbids the network).
xmlParserInputPtr ResolveEntity(void* parser_data, const xmlChar* public_id, const xmlChar* system_id) {
  auto* parser = static_cast<xmlParserCtxt*>(parser_data);
  try {
    if (IsTheDocumentsDtd(parser, public_id, system_id)) return LoadDtd(parser, StateOf(parser), public_id, system_id);
  } catch (...) {
    // No exception may cross libxml2's C frames; the DTD counts as not found.
    return nullptr;
  }
  return xmlSAX2ResolveEntity(parser_data, public_id, system_id);
}

void OnError(void* parser_data, xmlErrorPtr error) {
  ParseState& state = StateOf(parser_data);
  if (error == nullptr || (error->domain == XML_FROM_VALID && state.dtd_missing)) return;
  try {
    const Severity severity = error->level == XML_ERR_WARNING ? Severity::kWarning : Severity::kError;
    const Origin origin = error->domain == XML_FROM_VALID ? Origin::kDtd : Origin::kContainer;
    std::string message = WithoutTrailingNewline(error->message);
    if (error->code == XML_DTD_NO_DTD) {
      message = "The container has no document type declaration, so it could not be validated.";
    }
    long line = error->line;
    const bool in_container = error->file == nullptr || state.container_path == error->file;
    if (!in_container) {
      message = std::string(error->file) + " line " + std::to_string(error->line) + ": " + message;
      line = 0;
    } else if (error->domain == XML_FROM_VALID && error->node != nullptr &&
               static_cast<xmlNode*>(error->node)->type == XML_ELEMENT_NODE) {
      // An element's start line, not where the parser stood when it noticed.
      line = xmlGetLineNo(static_cast<xmlNode*>(error->node));
    }
    state.findings.Add({severity, origin, line > 0 ? line : 0, std::move(message)});
  } catch (...) {
    // No exception may cross libxml2's C frames; this one finding is lost.
  }
}

}  // namespace

ParsedContainer ParseContainer(const std::string& path, const std::string& text, const std::string& encoding,
                               const std::string& catalog_path, bool validate, FindingList& findings) {
  ParsedContainer result;
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    findings.Add({Severity::kError, Origin::kContainer, 0, "The container is too large to be checked."});
    return result;
  }
  XmlCatalog catalog(xmlLoadACatalog(catalog_path.c_str()));
  if (!catalog) {
    findings.Add({Severity::kError, Origin::kSetup, 0,
                  "The catalog " + catalog_path + " cannot be read, so no DTD can be found."});
  }
  XmlParserCtxt parser(xmlNewParserCtxt());
  if (!parser || parser->sax == nullptr) throw std::bad_alloc();
  ParseState state{catalog.get(), catalog_path, path, result, findings};
  parser->_private = &state;
  parser->sax->serror = &OnError;
  parser->sax->resolveEntity = &ResolveEntity;

  // A forced encoding holds over what the declaration names.
  const int options = XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_BIG_LINES | XML_PARSE_DTDLOAD |
                      (validate ? XML_PARSE_DTDVALID : 0) | (encoding.empty() ? 0 : XML_PARSE_IGNORE_ENC);
  XmlDoc document(xmlCtxtReadMemory(parser.get(), text.data(), static_cast<int>(text.size()), path.c_str(),
                                    encoding.empty() ? nullptr : encoding.c_str(), options));
  if (!document || !parser->wellFormed) return result;
  if (document->intSubset != nullptr) result.public_id = FromXml(document->intSubset->ExternalID);
  result.validated = validate && !state.dtd_missing &&
                     (document->intSubset != nullptr || document->extSubset != nullptr);
  result.document = std::move(document);
  return result;
}

}  // namespace mmx
