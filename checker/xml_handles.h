#pragma once

#include <libxml/catalog.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <memory>
#include <string>

namespace mmx {

template <typename T, void (*Free)(T*)>
struct XmlFree {
  void operator()(T* object) const { Free(object); }
};

struct XmlCharFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};

using XmlDoc = std::unique_ptr<xmlDoc, XmlFree<xmlDoc, xmlFreeDoc>>;
using XmlParserCtxt = std::unique_ptr<xmlParserCtxt, XmlFree<xmlParserCtxt, xmlFreeParserCtxt>>;
using XmlCatalog = std::unique_ptr<xmlCatalog, XmlFree<xmlCatalog, xmlFreeCatalog>>;
using XPathContext = std::unique_ptr<xmlXPathContext, XmlFree<xmlXPathContext, xmlXPathFreeContext>>;
using XPathObject = std::unique_ptr<xmlXPathObject, XmlFree<xmlXPathObject, xmlXPathFreeObject>>;
using XPathExpression = std::unique_ptr<xmlXPathCompExpr, XmlFree<xmlXPathCompExpr, xmlXPathFreeCompExpr>>;
using XmlString = std::unique_ptr<xmlChar, XmlCharFree>;

inline const xmlChar* ToXml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
inline const xmlChar* ToXml(const std::string& text) { return ToXml(text.c_str()); }

// libxml2's own text as std::string; empty for null.
inline std::string FromXml(const xmlChar* text) {
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

}  // namespace mmx
