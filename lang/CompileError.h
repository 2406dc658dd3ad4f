#pragma once
// The compiler's error codes and texts. A detail is substituted for "%s".

#include <cstdint>

#include "core/KvString.h"

namespace kv {

#define KV_COMPILE_ERRORS(X)                                                      \
    X(NoError, 0, "No error")                                                     \
    X(UnexpectedEnd, 1, "Unexpected end of file")                                 \
    X(NotDefined, 2, "Function '%s' declared but not defined")                    \
    X(Expected, 3, "%s expected")                                                 \
    X(ParenInDeclaration, 4, "'(' in variable declaration")                       \
    X(UnexpectedToken, 5, "Unexpected token")                                     \
    X(AlreadyDefined, 6, "%s allready defined")                                   \
    X(UnexpectedArgument, 7, "Unexpected argument")                               \
    X(InsufficientArguments, 8, "Insufficient arguments")                         \
    X(DefinitionDiffers, 9, "Function '%s' reference and definition are different") \
    X(VariableAlreadyDefined, 10, "Variable '%s' allready defined")               \
    X(DeclarationDiffers, 11, "Function '%s' reference and declaration are different") \
    X(Redefinition, 12, "Variable '%s' redefinition")                             \
    X(NotAVariable, 13, "Operation on nonvariable")                               \
    X(NestedTooDeeply, 14, "Program nested too deeply")

enum CompileErrorCode : int32_t {
#define KV_COMPILE_ERROR_ENUM(name, code, text) k##name = code,
    KV_COMPILE_ERRORS(KV_COMPILE_ERROR_ENUM)
#undef KV_COMPILE_ERROR_ENUM
};

// The text of a code with the detail substituted; "Unknown error" for codes not in the table.
KvString ErrorText(int32_t code, const KvString& detail);

}  // namespace kv
