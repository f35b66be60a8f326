#include "script/vbs/Operators.h"

#include <cmath>
#include <limits>

#include "script/vbs/Errors.h"
#include "script/vbs/Object.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

// Integer subtypes rank for promotion: Byte < Integer < Long.
int intRank(VT t) {
    switch (t) {
        case VT::Byte: return 1;
        case VT::Integer: return 2;
        case VT::Long: return 3;
        default: return 0;
    }
}

int64_t intValue(const Variant& v) {
    switch (v.type()) {
        case VT::Byte: return v.byte();
        case VT::Integer: return v.integer();
        default: return v.lng();
    }
}

Variant fitInteger(int64_t r, int rank) {
    if (rank <= 1 && r >= 0 && r <= 255) return Variant(static_cast<uint8_t>(r));
    if (rank <= 2 && r >= -32768 && r <= 32767) return Variant(static_cast<int16_t>(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return Variant(static_cast<int32_t>(r));
    return Variant(static_cast<double>(r));
}

Variant checkDouble(double d) {
    if (!std::isfinite(d)) raise(err::Overflow);
    return Variant(d);
}

enum class Arith { Add, Sub, Mul };

Variant arith(Arith op, const Variant& a0, const Variant& b0) {
    if (a0.isNull() || b0.isNull()) {
        if (a0.isArray() || b0.isArray()) raise(err::TypeMismatch);
        return Variant::null();
    }
    Variant a = toNumeric(a0), b = toNumeric(b0);
    if (a.isNull() || b.isNull()) return Variant::null();
    VT ta = a.type(), tb = b.type();
    int ra = intRank(ta), rb = intRank(tb);
    if (ra && rb) {
        int64_t x = intValue(a), y = intValue(b);
        int64_t r = op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y;
        return fitInteger(r, ra > rb ? ra : rb);
    }
    if (ta == VT::Currency || tb == VT::Currency) {
        if (ta != VT::Date && tb != VT::Date) {
            if (op == Arith::Mul) {
                double r = toDouble(a) * toDouble(b);
                Variant rv(r);
                return Variant::currency(toCurrency(rv));
            }
            int64_t x = toCurrency(a), y = toCurrency(b);
            int64_t r;
            bool ovf = op == Arith::Add ? __builtin_add_overflow(x, y, &r) : __builtin_sub_overflow(x, y, &r);
            if (ovf) raise(err::Overflow);
            return Variant::currency(r);
        }
    }
    double x = toDouble(a), y = toDouble(b);
    double r = op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y;
    if ((ta == VT::Date || tb == VT::Date) && op != Arith::Mul) {
        if (op == Arith::Sub && ta == VT::Date && tb == VT::Date) return checkDouble(r);
        if (!(r >= -657434.0 && r < 2958466.0)) raise(err::Overflow);
        return Variant::date(r);
    }
    bool single = (ta == VT::Single && (tb == VT::Single || rb == 1 || rb == 2)) ||
                  (tb == VT::Single && (ra == 1 || ra == 2));
    if (single) {
        float f = static_cast<float>(r);
        if (!std::isfinite(f)) raise(err::Overflow);
        return Variant(f);
    }
    return checkDouble(r);
}

// Operand of \ and Mod: rounded to an integer subtype.
Variant intOperand(const Variant& v0) {
    Variant v = toNumeric(v0);
    switch (v.type()) {
        case VT::Byte: case VT::Integer: case VT::Long: return v;
        default: return Variant(toLong(v));
    }
}

bool isLogicalBool(const Variant& v) { return v.type() == VT::Boolean; }

// Operand of the logical operators as a 32-bit pattern plus its integer rank.
bool isBooleanText(std::u16string_view s) {
    return equalsNoCase(s, u"true") || equalsNoCase(s, u"false") || equalsNoCase(s, u"#true#") ||
           equalsNoCase(s, u"#false#");
}

int32_t logicalValue(const Variant& v0, int& rank) {
    Variant v = valueOf(v0);
    switch (v.type()) {
        case VT::Empty: rank = 2; return 0;
        case VT::Boolean: rank = 2; return v.boolean() ? -1 : 0;
        case VT::Byte: rank = 1; return v.byte();
        case VT::Integer: rank = 2; return v.integer();
        case VT::Long: rank = 3; return v.lng();
        case VT::String:
            if (isBooleanText(v.str())) {
                rank = 2;
                return toBool(v) ? -1 : 0;
            }
            rank = 3;
            return toLong(v);
        default: rank = 3; return toLong(v);
    }
}

Variant logicalResult(int32_t r, int rank) {
    if (rank == 1) return Variant(static_cast<uint8_t>(r));
    if (rank == 2) return Variant(static_cast<int16_t>(r));
    return Variant(r);
}

enum class Logic { And, Or, Xor, Eqv, Imp };

int32_t applyLogic(Logic op, int32_t x, int32_t y) {
    switch (op) {
        case Logic::And: return x & y;
        case Logic::Or: return x | y;
        case Logic::Xor: return x ^ y;
        case Logic::Eqv: return ~(x ^ y);
        case Logic::Imp: return ~x | y;
    }
    return 0;
}

Variant logic(Logic op, const Variant& a0, const Variant& b0) {
    Variant a = valueOf(a0), b = valueOf(b0);
    if (a.isNull() || b.isNull()) {
        if (a.isNull() && b.isNull()) return Variant::null();
        const Variant& other = a.isNull() ? b : a;
        int rank;
        int32_t o = logicalValue(other, rank);
        bool otherIsBool = other.type() == VT::Boolean;
        auto ret = [&](int32_t r) { return otherIsBool ? Variant(r != 0) : logicalResult(r, rank); };
        switch (op) {
            case Logic::And:
                if (o == 0) return ret(0);
                return Variant::null();
            case Logic::Or:
                if (o == -1) return ret(-1);
                return Variant::null();
            case Logic::Imp:
                if (a.isNull()) return o == -1 ? ret(-1) : Variant::null();
                return o == 0 ? ret(-1) : Variant::null();
            default:
                return Variant::null();
        }
    }
    int ra, rb;
    int32_t x = logicalValue(a, ra), y = logicalValue(b, rb);
    int32_t r = applyLogic(op, x, y);
    if (isLogicalBool(a) && isLogicalBool(b)) return Variant(r != 0);
    return logicalResult(r, ra > rb ? ra : rb);
}

}  // namespace

Variant opAdd(const Variant& a, const Variant& b) {
    if (a.isString() && b.isString()) return Variant(a.str() + b.str());
    if (a.isString() && b.isEmpty()) return a;
    if (b.isString() && a.isEmpty()) return b;
    return arith(Arith::Add, a, b);
}

Variant opSub(const Variant& a, const Variant& b) { return arith(Arith::Sub, a, b); }
Variant opMul(const Variant& a, const Variant& b) { return arith(Arith::Mul, a, b); }

Variant opDiv(const Variant& a0, const Variant& b0) {
    if (a0.isNull() || b0.isNull()) return Variant::null();
    Variant a = toNumeric(a0), b = toNumeric(b0);
    if (a.isNull() || b.isNull()) return Variant::null();
    double x = toDouble(a), y = toDouble(b);
    if (y == 0) raise(x == 0 ? err::Overflow : err::DivByZero);
    double r = x / y;
    if (a.type() == VT::Single && b.type() == VT::Single) {
        float f = static_cast<float>(r);
        if (!std::isfinite(f)) raise(err::Overflow);
        return Variant(f);
    }
    return checkDouble(r);
}

Variant opIntDiv(const Variant& a0, const Variant& b0) {
    if (a0.isNull() || b0.isNull()) return Variant::null();
    Variant a = intOperand(a0), b = intOperand(b0);
    int64_t x = intValue(a), y = intValue(b);
    if (y == 0) raise(err::DivByZero);
    int rank = std::max(intRank(a.type()), intRank(b.type()));
    return fitInteger(x / y, rank < 2 ? (rank == 1 && intRank(b.type()) == 1 ? 1 : 2) : rank);
}

Variant opMod(const Variant& a0, const Variant& b0) {
    if (a0.isNull() || b0.isNull()) return Variant::null();
    Variant a = intOperand(a0), b = intOperand(b0);
    int64_t x = intValue(a), y = intValue(b);
    if (y == 0) raise(err::DivByZero);
    int rank = std::max(intRank(a.type()), intRank(b.type()));
    return fitInteger(x % y, rank);
}

Variant opPow(const Variant& a0, const Variant& b0) {
    if (a0.isNull() || b0.isNull()) return Variant::null();
    double x = toDouble(toNumeric(a0)), y = toDouble(toNumeric(b0));
    if (x < 0 && y != std::floor(y)) raise(err::InvalidCall);
    if (x == 0 && y < 0) raise(err::DivByZero);
    return checkDouble(std::pow(x, y));
}

Variant opNeg(const Variant& a0) {
    if (a0.isNull()) return Variant::null();
    Variant a = toNumeric(a0);
    switch (a.type()) {
        case VT::Byte: return Variant(static_cast<int16_t>(-a.byte()));
        case VT::Integer:
            if (a.integer() == INT16_MIN) return Variant(static_cast<int32_t>(32768));
            return Variant(static_cast<int16_t>(-a.integer()));
        case VT::Long:
            if (a.lng() == INT32_MIN) return Variant(2147483648.0);
            return Variant(-a.lng());
        case VT::Single: return Variant(-a.single());
        case VT::Currency:
            if (a.cy() == INT64_MIN) raise(err::Overflow);
            return Variant::currency(-a.cy());
        case VT::Date: return Variant::date(-a.dbl());
        default: return Variant(-toDouble(a));
    }
}

Variant opConcat(const Variant& a, const Variant& b) {
    if (a.isNull() && b.isNull()) return Variant::null();
    if (a.isString() && b.isString()) return Variant(a.str() + b.str());
    std::u16string s = a.isNull() ? std::u16string() : toStr(a);
    if (!b.isNull()) s += toStr(b);
    return Variant(std::move(s));
}

Variant opNot(const Variant& a0) {
    Variant a = valueOf(a0);
    if (a.isNull()) return Variant::null();
    if (a.type() == VT::Boolean) return Variant(!a.boolean());
    if (a.isString() && isBooleanText(a.str())) return Variant(!toBool(a));  // Not "#FALSE#" is True
    int rank;
    int32_t x = logicalValue(a, rank);
    return logicalResult(~x, rank);
}

Variant opAnd(const Variant& a, const Variant& b) { return logic(Logic::And, a, b); }
Variant opOr(const Variant& a, const Variant& b) { return logic(Logic::Or, a, b); }
Variant opXor(const Variant& a, const Variant& b) { return logic(Logic::Xor, a, b); }
Variant opEqv(const Variant& a, const Variant& b) { return logic(Logic::Eqv, a, b); }
Variant opImp(const Variant& a, const Variant& b) { return logic(Logic::Imp, a, b); }

bool opIs(const Variant& a, const Variant& b) {
    if (!a.isObject() || !b.isObject()) raise(err::ObjectRequired);
    return a.obj() == b.obj();
}

int compareStrings(std::u16string_view a, std::u16string_view b, bool text) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = a[i], y = b[i];
        if (text) {
            x = foldUpper(x);
            y = foldUpper(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

namespace {
Cmp fromInt(int c) { return c < 0 ? Cmp::Less : c > 0 ? Cmp::Greater : Cmp::Equal; }

Cmp numericCompare(const Variant& a, const Variant& b) {
    if (intRank(a.type()) && intRank(b.type())) {
        int64_t x = intValue(a), y = intValue(b);
        return fromInt(x < y ? -1 : x > y ? 1 : 0);
    }
    double x = toDouble(a), y = toDouble(b);
    if ((a.type() == VT::Single && b.type() == VT::Double) || (a.type() == VT::Double && b.type() == VT::Single)) {
        // a Single meets a Double at the Single's precision: CSng(0.001 * 0.001) = 0.000001
        float fx = static_cast<float>(x), fy = static_cast<float>(y);
        return fromInt(fx < fy ? -1 : fx > fy ? 1 : 0);
    }
    return fromInt(x < y ? -1 : x > y ? 1 : 0);
}
}  // namespace

Cmp compare(const Variant& a0, const Variant& b0, bool text, bool aLit, bool bLit) {
    const Variant& a = a0.isObject() ? valueOf(a0) : a0;
    const Variant& b = b0.isObject() ? valueOf(b0) : b0;
    if (a.isNull() || b.isNull()) return Cmp::Null;
    if (a.isArray() || b.isArray() || a.type() == VT::Error || b.type() == VT::Error) raise(err::TypeMismatch);
    bool as = a.isString(), bs = b.isString();
    if (as && bs) return fromInt(compareStrings(a.str(), b.str(), text));
    if (a.isEmpty() && b.isEmpty()) return Cmp::Equal;
    if (a.isEmpty()) return bs ? fromInt(compareStrings(u"", b.str(), text)) : numericCompare(Variant(int16_t{0}), b);
    if (b.isEmpty()) return as ? fromInt(compareStrings(a.str(), u"", text)) : numericCompare(a, Variant(int16_t{0}));
    if (!as && !bs) return numericCompare(a, b);
    // A number meets a string.
    const Variant& s = as ? a : b;
    const Variant& n = as ? b : a;
    bool sLit = as ? aLit : bLit;
    bool nLit = as ? bLit : aLit;
    double d;
    if (sLit && parseNumber(s.str(), d)) {
        Cmp c = numericCompare(n, Variant(d));
        if (as && c != Cmp::Equal) c = c == Cmp::Less ? Cmp::Greater : Cmp::Less;
        return c;
    }
    if (nLit && !sLit) {
        std::u16string ns = toStr(n);
        return as ? fromInt(compareStrings(a.str(), ns, text)) : fromInt(compareStrings(ns, b.str(), text));
    }
    // A number is less than any string.
    return as ? Cmp::Greater : Cmp::Less;
}

}  // namespace vk::vbs
