#pragma once

#include "script/vbs/Object.h"

namespace vk::vbs {

class Interpreter;
struct ProcDef;

Ref<Object> makeErrObject(Interpreter& interp);
Ref<Object> makeDictionary();  // Scripting.Dictionary
Ref<Object> makeRegExp();      // VBScript.RegExp / New RegExp
// GetRef: an object whose default member calls the procedure
Ref<Object> makeFunctionRef(Interpreter& interp, ProcDef* proc);

}  // namespace vk::vbs
