#pragma once

#include <memory>
#include <string_view>

#include "script/vbs/Ast.h"

namespace vk::vbs {

// Parses a whole script (or the text of Execute/ExecuteGlobal) into a Program;
// throws SyntaxError with VBScript's compilation error numbers and the position.
std::unique_ptr<Program> parseProgram(std::u16string_view source);
// Parses one expression (Eval).
std::unique_ptr<Program> parseExpression(std::u16string_view source);

}  // namespace vk::vbs
