#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "script/vbs/Object.h"

namespace vk::vbs {

class Interpreter;
struct Frame;

struct BuiltinContext {
    Interpreter& interp;
    Frame& frame;
};

using BuiltinFn = Variant (*)(BuiltinContext&, CallArgs);

enum class BuiltinKind : uint8_t {
    Function,
    Conversion,  // CInt and friends: called as a statement they raise 458
    Sub,         // Randomize: used as a value it raises 13
};

struct BuiltinDef {
    const char* name;
    int16_t minArgs;
    int16_t maxArgs;
    BuiltinFn fn;
    BuiltinKind kind = BuiltinKind::Function;
};

struct ConstantDef {
    const char* name;
    Variant value;
};

// The standard library, by area.
std::span<const BuiltinDef> stringBuiltins();
std::span<const BuiltinDef> mathBuiltins();
std::span<const BuiltinDef> dateBuiltins();
std::span<const BuiltinDef> miscBuiltins();
std::vector<ConstantDef> builtinConstants();

// Shared argument helpers for the library files.
namespace lib {
inline bool has(CallArgs a, size_t i) { return a.has(i); }
int32_t argLong(CallArgs a, size_t i, int32_t dflt);
std::u16string argStr(CallArgs a, size_t i);
bool nullArg(CallArgs a, size_t i);  // argument i is Null
// Raises 94 "Invalid use of Null" when one of the arguments is Null.
void refuseNull(CallArgs a, std::initializer_list<size_t> indexes);
int compareMode(CallArgs a, size_t i, Interpreter& in);
}  // namespace lib

}  // namespace vk::vbs
