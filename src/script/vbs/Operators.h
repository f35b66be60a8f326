#pragma once

#include "script/vbs/Variant.h"

namespace vk::vbs {

// VBScript operators on Variants, with the coercion and promotion rules of the language
// (Integer -> Long -> Double on overflow, Null propagation, + concatenating two strings).
Variant opAdd(const Variant& a, const Variant& b);
Variant opSub(const Variant& a, const Variant& b);
Variant opMul(const Variant& a, const Variant& b);
Variant opDiv(const Variant& a, const Variant& b);
Variant opIntDiv(const Variant& a, const Variant& b);
Variant opMod(const Variant& a, const Variant& b);
Variant opPow(const Variant& a, const Variant& b);
Variant opNeg(const Variant& a);
Variant opConcat(const Variant& a, const Variant& b);
Variant opNot(const Variant& a);
Variant opAnd(const Variant& a, const Variant& b);
Variant opOr(const Variant& a, const Variant& b);
Variant opXor(const Variant& a, const Variant& b);
Variant opEqv(const Variant& a, const Variant& b);
Variant opImp(const Variant& a, const Variant& b);
bool opIs(const Variant& a, const Variant& b);

enum class Cmp { Less, Equal, Greater, Null };
// aLiteral/bLiteral: the operand is a constant in the source; VBScript converts a literal to
// the other side's type when a number meets a string.
Cmp compare(const Variant& a, const Variant& b, bool textCompare = false, bool aLiteral = false,
            bool bLiteral = false);
int compareStrings(std::u16string_view a, std::u16string_view b, bool textCompare);

}  // namespace vk::vbs
