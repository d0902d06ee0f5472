#include "checker/rule_engine.h"

#include <libxml/xpathInternals.h>

#include <charconv>
#include <cstdint>
#include <map>
#include <regex>

#include "checker/xml_handles.h"

namespace mmx {
namespace {

// libstdc++'s regex matcher recurses once per repetition, so very long texts
// could exhaust the stack; they are taken as not matching.
constexpr std::size_t kLongestMatchedText = 1024;
// Longer expansions in a message are cut, so a log line stays readable.
constexpr std::size_t kLongestExpansion = 120;

struct EngineState {
  std::map<std::string, std::regex> patterns;
  std::string xpath_error;     // the last error libxml2 reported
  std::string function_error;  // an error of our own functions; outranks the above
  std::string Reason() const { return function_error.empty() ? xpath_error : function_error; }
};

// libxml2 hands XPath errors over with a code and the position, not a text.
std::string DescribeXPathError(const xmlError& error) {
  std::string what;
  switch (error.code) {
    case XML_XPATH_NUMBER_ERROR: what = "a number is written wrongly"; break;
    case XML_XPATH_UNFINISHED_LITERAL_ERROR: what = "a string is not closed"; break;
    case XML_XPATH_START_LITERAL_ERROR: what = "a string is expected"; break;
    case XML_XPATH_VARIABLE_REF_ERROR:
    case XML_XPATH_UNDEF_VARIABLE_ERROR: what = "rules have no variables"; break;
    case XML_XPATH_INVALID_PREDICATE_ERROR: what = "a predicate is not closed"; break;
    case XML_XPATH_UNCLOSED_ERROR: what = "a bracket is not closed"; break;
    case XML_XPATH_UNKNOWN_FUNC_ERROR: what = "an unknown function is called"; break;
    case XML_XPATH_INVALID_OPERAND:
    case XML_XPATH_INVALID_TYPE: what = "a value has the wrong type"; break;
    case XML_XPATH_INVALID_ARITY: what = "a function gets the wrong number of arguments"; break;
    case XML_XPATH_UNDEF_PREFIX_ERROR: what = "a namespace prefix is not declared"; break;
    case XML_XPATH_INVALID_CHAR_ERROR: what = "a character is not allowed here"; break;
    default: what = "the expression is not understood"; break;
  }
  if (error.str1 != nullptr) what += " at position " + std::to_string(error.int1 + 1);
  return what;
}

void OnXPathError(void* data, xmlErrorPtr error) {
  auto* state = static_cast<EngineState*>(data);
  try {
    state->xpath_error = error == nullptr ? "XPath error" : DescribeXPathError(*error);
  } catch (...) {
    // No exception may cross libxml2's C frames; the reason stays as it was.
  }
}

// matches(string, pattern)
void MatchesFunction(xmlXPathParserContextPtr parser, int arguments) {
  if (arguments != 2) {
    xmlXPathSetArityError(parser);
    return;
  }
  XmlString pattern(xmlXPathPopString(parser));
  XmlString text(xmlXPathPopString(parser));
  if (parser->error != XPATH_EXPRESSION_OK) return;
  auto* state = static_cast<EngineState*>(parser->context->userData);
  try {
    const std::string key = FromXml(pattern.get());
    auto found = state->patterns.find(key);
    if (found == state->patterns.end()) found = state->patterns.emplace(key, std::regex(key)).first;
    const std::string subject = FromXml(text.get());
    xmlXPathReturnBoolean(parser, subject.size() <= kLongestMatchedText && std::regex_search(subject, found->second));
  } catch (const std::exception& error) {
    // No exception may cross libxml2's C frames.
    xmlXPathSetError(parser, XPATH_EXPR_ERROR);
    state->function_error = "matches(): \"" + FromXml(pattern.get()) + "\" is no valid regular expression (" +
                            error.what() + ")";
  }
}

// hex-value(string)
void HexValueFunction(xmlXPathParserContextPtr parser, int arguments) {
  if (arguments != 1) {
    xmlXPathSetArityError(parser);
    return;
  }
  XmlString text(xmlXPathPopString(parser));
  if (parser->error != XPATH_EXPRESSION_OK) return;
  std::string_view digits = text ? reinterpret_cast<const char*>(text.get()) : "";
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  const bool whole = !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
  xmlXPathReturnNumber(parser, whole ? static_cast<double>(value) : xmlXPathNAN);
}

long LineOf(const xmlNode* node) {
  if (node->type == XML_ATTRIBUTE_NODE) node = node->parent;
  if (node == nullptr || node->type == XML_DOCUMENT_NODE) return 0;
  const long line = xmlGetLineNo(node);
  return line > 0 ? line : 0;
}

struct Expression {
  std::string text;
  XPathExpression compiled;
};

// A message as literal text and {XPath} parts.
struct MessagePart {
  std::string literal;
  Expression expression;  // not compiled for literal text
};

struct CompiledRule {
  Expression context;
  Expression test;
  std::vector<MessagePart> message;
};

// False (the reason in `state`) when `text` is no valid XPath expression.
bool Compile(xmlXPathContext* xpath, const std::string& text, EngineState& state, Expression& expression) {
  expression.text = text;
  expression.compiled.reset(xmlXPathCtxtCompile(xpath, ToXml(text)));
  if (!expression.compiled) {
    state.xpath_error = "\"" + text + "\" is no valid XPath expression (" + state.xpath_error + ")";
  }
  return expression.compiled != nullptr;
}

// The value of the expression at the context node; null (the reason in `state`) on an error.
XPathObject Evaluate(const Expression& expression, xmlXPathContext* xpath, EngineState& state) {
  XPathObject value(xmlXPathCompiledEval(expression.compiled.get(), xpath));
  if (!value) state.xpath_error = "\"" + expression.text + "\" cannot be evaluated (" + state.xpath_error + ")";
  return value;
}

// False (the reason in `state`) when an expression of the rule does not compile.
bool CompileRule(xmlXPathContext* xpath, const Rule& rule, EngineState& state, CompiledRule& compiled) {
  if (!Compile(xpath, rule.context, state, compiled.context) || !Compile(xpath, rule.test, state, compiled.test)) {
    return false;
  }

  std::size_t position = 0;
  while (position < rule.message.size()) {
    const std::size_t open = rule.message.find('{', position);
    const std::size_t close = open == std::string::npos ? std::string::npos : rule.message.find('}', open);
    if (close == std::string::npos || close == open + 1) {
      const std::size_t literal_end = close == std::string::npos ? rule.message.size() : close + 1;
      compiled.message.push_back({rule.message.substr(position, literal_end - position), {}});
      position = literal_end;
      continue;
    }
    compiled.message.push_back({rule.message.substr(position, open - position), {}});
    Expression part;
    if (!Compile(xpath, rule.message.substr(open + 1, close - open - 1), state, part)) return false;
    compiled.message.push_back({std::string(), std::move(part)});
    position = close + 1;
  }
  return true;
}

// The message with its {XPath} parts replaced at the context node; false on an evaluation error.
bool ExpandMessage(const std::vector<MessagePart>& parts, xmlXPathContext* xpath, EngineState& state,
                   std::string& message) {
  for (const MessagePart& part : parts) {
    if (!part.expression.compiled) {
      message += part.literal;
      continue;
    }
    XPathObject value = Evaluate(part.expression, xpath, state);
    if (!value) return false;
    XmlString text(xmlXPathCastToString(value.get()));
    std::string expansion = FromXml(text.get());
    if (expansion.size() > kLongestExpansion) expansion = expansion.substr(0, kLongestExpansion) + "...";
    message += expansion;
  }
  return true;
}

// False (the reason in `state`) when the rule cannot be applied.
bool ApplyRule(xmlDoc* document, xmlXPathContext* xpath, const Rule& rule, EngineState& state,
               FindingList& findings) {
  CompiledRule compiled;
  if (!CompileRule(xpath, rule, state, compiled)) return false;

  xpath->node = reinterpret_cast<xmlNode*>(document);
  XPathObject selected = Evaluate(compiled.context, xpath, state);
  if (!selected) return false;
  if (selected->type != XPATH_NODESET) {
    state.xpath_error = "the context \"" + rule.context + "\" selects no nodes but a value";
    return false;
  }
  const xmlNodeSet* nodes = selected->nodesetval;
  const int count = nodes == nullptr ? 0 : nodes->nodeNr;
  for (int i = 0; i < count; ++i) {
    xmlNode* node = nodes->nodeTab[i];
    if (node->type == XML_NAMESPACE_DECL) continue;  // namespace nodes carry no line and no content to test
    xpath->node = node;
    xpath->contextSize = count;
    xpath->proximityPosition = i + 1;
    XPathObject result = Evaluate(compiled.test, xpath, state);
    if (!result) return false;
    if (xmlXPathCastToBoolean(result.get())) continue;
    std::string message;
    if (!ExpandMessage(compiled.message, xpath, state, message)) return false;
    findings.Add({rule.severity, Origin::kRule, LineOf(node), std::move(message)});
  }
  return true;
}

}  // namespace

std::size_t ApplyRules(xmlDoc* document, const std::vector<Rule>& rules, const std::string& rules_path,
                       FindingList& findings) {
  EngineState state;
  XPathContext xpath(xmlXPathNewContext(document));
  if (!xpath) throw std::bad_alloc();
  xpath->userData = &state;
  xpath->error = &OnXPathError;
  xmlXPathRegisterFunc(xpath.get(), ToXml("matches"), &MatchesFunction);
  xmlXPathRegisterFunc(xpath.get(), ToXml("hex-value"), &HexValueFunction);

  std::size_t applied = 0;
  for (const Rule& rule : rules) {
    state.xpath_error.clear();
    state.function_error.clear();
    if (ApplyRule(document, xpath.get(), rule, state, findings)) {
      ++applied;
    } else {
      findings.Add({Severity::kError, Origin::kSetup, 0,
                    rules_path + " line " + std::to_string(rule.line) + ": " + state.Reason() +
                        "; the rule was not applied."});
    }
  }
  return applied;
}

}  // namespace mmx
