#include "xml/content_model.h"

#include <vector>

#include "xml/declaration_scanner.h"
#include "xml/dom_document.h"
#include "xml/parser_exceptions.h"

namespace xml {

namespace {

constexpr std::size_t kMaxGroupDepth = 256;

[[noreturn]] void invalid() { throw EParserInvalidElementDeclarationError("Invalid element declaration error."); }

char16_t readOccurrence(TDeclarationScanner& scanner)
{
  char16_t mark = scanner.peek();
  if (mark == u'?' || mark == u'*' || mark == u'+') {
    scanner.consume(mark);
    return mark;
  }
  return 0;
}

// [51] Mixed ::= '(' S? '#PCDATA' (S? '|' S? Name)* S? ')*' | '(' S? '#PCDATA' S? ')'
void buildMixed(TDomDocument& document, TDomElementTypeDeclaration& declaration, TDeclarationScanner& scanner)
{
  auto* choice = document.createNode<TDomPcdataChoiceParticle>();
  scanner.skipWhiteSpace();
  if (!scanner.consume(u"#PCDATA"))
    invalid();
  for (;;) {
    scanner.skipWhiteSpace();
    if (!scanner.consume(u'|'))
      break;
    scanner.skipWhiteSpace();
    std::u16string_view name = scanner.readName();
    if (name.empty())
      invalid();
    choice->appendChild(document.createNode<TDomElementParticle>(document.internName(name)));
  }
  if (!scanner.consume(u')'))
    invalid();
  if (scanner.consume(u'*'))
    choice->setOccurrence(u'*');
  else if (choice->hasChildNodes())
    invalid();
  declaration.appendChild(choice);
}

// An open group of [47] children: choice or sequence is known at the first
// separator, the node is made when the group closes.
struct TOpenGroup {
  char16_t separator = 0;
  std::vector<TDomNode*> particles;
};

// [47] children ::= (choice | seq) ('?' | '*' | '+')?
// [48] cp ::= (Name | choice | seq) ('?' | '*' | '+')?
void buildChildren(TDomDocument& document, TDomElementTypeDeclaration& declaration, TDeclarationScanner& scanner)
{
  std::vector<TOpenGroup> open(1);
  TDomNode* result = nullptr;
  for (;;) {
    // At the start of a content particle.
    scanner.skipWhiteSpace();
    if (scanner.consume(u'(')) {
      if (open.size() >= kMaxGroupDepth)
        invalid();
      open.emplace_back();
      continue;
    }
    std::u16string_view name = scanner.readName();
    if (name.empty())
      invalid();
    auto* element = document.createNode<TDomElementParticle>(document.internName(name));
    element->setOccurrence(readOccurrence(scanner));
    open.back().particles.push_back(element);
    // After a content particle: a separator, or closing groups.
    for (;;) {
      scanner.skipWhiteSpace();
      char16_t next = scanner.peek();
      if (next == u'|' || next == u',') {
        scanner.consume(next);
        TOpenGroup& group = open.back();
        if (open.size() == 1 || (group.separator != 0 && group.separator != next))
          invalid();
        group.separator = next;
        break;
      }
      if (!scanner.consume(u')') || open.size() == 1)
        invalid();
      TOpenGroup group = std::move(open.back());
      open.pop_back();
      TDomContentParticle* node;
      if (group.separator == u'|')
        node = document.createNode<TDomChoiceParticle>();
      else
        node = document.createNode<TDomSequenceParticle>();
      for (TDomNode* particle : group.particles)
        node->appendChild(particle);
      node->setOccurrence(readOccurrence(scanner));
      if (open.size() == 1) {
        result = node;
        break;
      }
      open.back().particles.push_back(node);
    }
    if (result != nullptr)
      break;
  }
  scanner.skipWhiteSpace();
  if (!scanner.atEnd())
    invalid();
  declaration.appendChild(result);
}

} // namespace

TContentKind contentKindOf(std::u16string_view contentSpec)
{
  if (contentSpec == u"EMPTY")
    return TContentKind::Empty;
  if (contentSpec == u"ANY")
    return TContentKind::Any;
  if (contentSpec.find(u"#PCDATA") != std::u16string_view::npos)
    return TContentKind::Mixed;
  return TContentKind::Children;
}

void buildContentModel(TDomDocument& document, TDomElementTypeDeclaration& declaration,
                       std::u16string_view contentSpec)
{
  TDeclarationScanner scanner(contentSpec);
  if (!scanner.consume(u'('))
    invalid();
  if (declaration.contentKind() == TContentKind::Mixed) {
    buildMixed(document, declaration, scanner);
    scanner.skipWhiteSpace();
    if (!scanner.atEnd())
      invalid();
  } else {
    // The outer '(' opened the first group.
    TDeclarationScanner reread(contentSpec);
    buildChildren(document, declaration, reread);
  }
}

} // namespace xml
