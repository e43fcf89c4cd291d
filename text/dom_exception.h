#pragma once

#include <string>

#include "text/exception.h"

// Exceptions of the document object model. Each class has a fixed English message; the DOM
// raises them before changing anything.
class EDomException : public Exception {
    using Exception::Exception;
};

#define POINTMARK_DOM_EXCEPTION(Name, Text)                                                                            \
    class Name : public EDomException {                                                                                \
    public:                                                                                                            \
        static constexpr const char* kMessage = Text;                                                                  \
        Name() : EDomException(kMessage) {}                                                                            \
        explicit Name(std::string message) : EDomException(std::move(message)) {}                                      \
    };

POINTMARK_DOM_EXCEPTION(EIndex_Size_Err, "Index size error.")
POINTMARK_DOM_EXCEPTION(EHierarchy_Request_Err, "Hierarchy request error.")
POINTMARK_DOM_EXCEPTION(EWrong_Document_Err, "Wrong document error.")
POINTMARK_DOM_EXCEPTION(EInvalid_Character_Err, "Invalid character error.")
POINTMARK_DOM_EXCEPTION(ENo_Modification_Allowed_Err, "No modification allowed error.")
// Nodes use the fixed text; the DOM implementation raises it with messages of its own.
POINTMARK_DOM_EXCEPTION(ENot_Found_Err, "Node not found error.")
POINTMARK_DOM_EXCEPTION(ENot_Supported_Err, "Not supported error.")
POINTMARK_DOM_EXCEPTION(EInuse_Attribute_Err, "Inuse attribute error.")
POINTMARK_DOM_EXCEPTION(EInvalid_State_Err, "Invalid state error.")
POINTMARK_DOM_EXCEPTION(ESyntax_Err, "Syntax error.")
POINTMARK_DOM_EXCEPTION(ENamespace_Err, "Namespace error.")
POINTMARK_DOM_EXCEPTION(EInvalid_Access_Err,
                        "Illegal Parameter Error: Attempt to set the reserved Document Format \"default\".")
POINTMARK_DOM_EXCEPTION(EInuse_Node_Err, "Inuse node error.")
POINTMARK_DOM_EXCEPTION(EInuse_Content_Model_Err, "Inuse content model error.")
POINTMARK_DOM_EXCEPTION(EInvalid_Entity_Reference_Err, "Invalid entity reference error.")
POINTMARK_DOM_EXCEPTION(EUnknown_Document_Format_Err, "Unknown document format yet")

#undef POINTMARK_DOM_EXCEPTION
