#pragma once
#include <stdexcept>
#include <string>

// The DOM's exceptions; each carries only its message.
namespace xml {

class EDomException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

#define XML_DOM_EXCEPTION(Name, DefaultMessage)                                                \
  class Name : public EDomException {                                                          \
  public:                                                                                      \
    Name() : EDomException(DefaultMessage) {}                                                  \
    explicit Name(const std::string& message) : EDomException(message) {}                      \
  };

XML_DOM_EXCEPTION(EIndexSizeError, "Index size error.")
XML_DOM_EXCEPTION(EHierarchyRequestError, "Hierarchy request error.")
XML_DOM_EXCEPTION(EWrongDocumentError, "Wrong document error.")
XML_DOM_EXCEPTION(EInvalidCharacterError, "Invalid character error.")
XML_DOM_EXCEPTION(ENoModificationAllowedError, "No modification allowed error.")
XML_DOM_EXCEPTION(ENotFoundError, "Node not found error.")
XML_DOM_EXCEPTION(ENotSupportedError, "Not supported error.")
XML_DOM_EXCEPTION(EInuseAttributeError, "Inuse attribute error.")
XML_DOM_EXCEPTION(EInvalidStateError, "Invalid state error.")
XML_DOM_EXCEPTION(ENamespaceError, "Namespace error.")
XML_DOM_EXCEPTION(EInvalidAccessError,
                  "Illegal Parameter Error: Attempt to set the reserved Document Format \"default\".")
XML_DOM_EXCEPTION(EInuseNodeError, "Inuse node error.")
XML_DOM_EXCEPTION(EInuseAttributeDefinitionError, "Inuse attribute definition error.")
XML_DOM_EXCEPTION(ENoExternalEntityAllowedError, "No external entity allowed error.")
XML_DOM_EXCEPTION(EInvalidEntityReferenceError, "Invalid entity reference error.")
XML_DOM_EXCEPTION(EUnknownDocumentFormatError, "Unknown document format yet")

#undef XML_DOM_EXCEPTION

} // namespace xml
