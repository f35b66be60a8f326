// Conversions, arithmetic functions, type tests and arrays.
#include <chrono>
#include <cmath>
#include <cstring>

#include "script/vbs/Builtins.h"
#include "script/vbs/DateTime.h"
#include "script/vbs/Interpreter.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

using namespace lib;

namespace {

Variant arg(CallArgs a, size_t i) { return valueOf(a[i]); }

Variant fCBool(BuiltinContext&, CallArgs a) { return Variant(toBool(a[0])); }
Variant fCByte(BuiltinContext&, CallArgs a) {
    Variant v = valueOf(a[0]);
    if (v.type() == VT::Boolean) return Variant(static_cast<uint8_t>(v.boolean() ? 255 : 0));  // True is all bits set
    double d = roundHalfEven(toDouble(v));
    if (!(d >= 0 && d <= 255)) raise(err::Overflow);
    return Variant(static_cast<uint8_t>(d));
}
Variant fCCur(BuiltinContext&, CallArgs a) { return Variant::currency(toCurrency(a[0])); }
Variant fCDate(BuiltinContext&, CallArgs a) { return Variant::date(toDate(a[0])); }
Variant fCDbl(BuiltinContext&, CallArgs a) { return Variant(toDouble(a[0])); }
Variant fCInt(BuiltinContext&, CallArgs a) { return Variant(toInteger(a[0])); }
Variant fCLng(BuiltinContext&, CallArgs a) { return Variant(toLong(a[0])); }
Variant fCSng(BuiltinContext&, CallArgs a) {
    double d = toDouble(a[0]);
    if (std::fabs(d) > 3.402823466e38) raise(err::Overflow);
    return Variant(static_cast<float>(d));
}
Variant fCStr(BuiltinContext&, CallArgs a) { return Variant(toStr(a[0])); }

Variant radix(CallArgs a, int base) {
    Variant v = arg(a, 0);
    if (v.isNull()) return Variant::null();
    uint32_t bits;
    Variant n = toNumeric(v);
    if (n.type() == VT::Integer || n.type() == VT::Byte) bits = static_cast<uint16_t>(toLong(n));
    else bits = static_cast<uint32_t>(toLong(n));
    std::string s;
    const char* digits = "0123456789ABCDEF";
    do {
        s.insert(s.begin(), digits[bits % static_cast<uint32_t>(base)]);
        bits /= static_cast<uint32_t>(base);
    } while (bits);
    return Variant(u16(s));
}
Variant fHex(BuiltinContext&, CallArgs a) { return radix(a, 16); }
Variant fOct(BuiltinContext&, CallArgs a) { return radix(a, 8); }

Variant intFix(CallArgs a, bool floorIt) {
    Variant v = arg(a, 0);
    if (v.isNull()) return Variant::null();
    Variant n = toNumeric(v);
    auto op = [&](double d) { return floorIt ? std::floor(d) : std::trunc(d); };
    switch (n.type()) {
        case VT::Integer: case VT::Long: case VT::Byte: return n;
        case VT::Single: return Variant(static_cast<float>(op(n.single())));
        case VT::Currency: {
            double d = op(static_cast<double>(n.cy()) / 10000.0);
            return Variant::currency(static_cast<int64_t>(d) * 10000);
        }
        case VT::Date: return Variant::date(op(n.dbl()));
        default: return Variant(op(toDouble(n)));
    }
}
Variant fInt(BuiltinContext&, CallArgs a) { return intFix(a, true); }
Variant fFix(BuiltinContext&, CallArgs a) { return intFix(a, false); }

Variant fAbs(BuiltinContext&, CallArgs a) {
    Variant v = arg(a, 0);
    if (v.isNull()) return Variant::null();
    Variant n = toNumeric(v);
    switch (n.type()) {
        case VT::Byte: return n;
        case VT::Integer:
            if (n.integer() == INT16_MIN) return Variant(static_cast<int32_t>(32768));
            return Variant(static_cast<int16_t>(std::abs(n.integer())));
        case VT::Long:
            if (n.lng() == INT32_MIN) return Variant(2147483648.0);
            return Variant(std::abs(n.lng()));
        case VT::Single: return Variant(std::fabs(n.single()));
        case VT::Currency: return Variant::currency(n.cy() < 0 ? -n.cy() : n.cy());
        default: return Variant(std::fabs(toDouble(n)));
    }
}
Variant fSgn(BuiltinContext&, CallArgs a) {
    Variant v = arg(a, 0);
    if (v.isNull()) return Variant::null();
    double d = toDouble(v);
    return Variant(static_cast<int16_t>(d > 0 ? 1 : d < 0 ? -1 : 0));
}
Variant checked(double d) {
    if (!std::isfinite(d)) raise(err::Overflow);
    return Variant(d);
}
Variant fSqr(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    double d = toDouble(a[0]);
    if (d < 0) raise(err::InvalidCall);
    return Variant(std::sqrt(d));
}
Variant fExp(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    return checked(std::exp(toDouble(a[0])));
}
Variant fLog(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    double d = toDouble(a[0]);
    if (d <= 0) raise(err::InvalidCall);
    return Variant(std::log(d));
}
Variant fAtn(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    return Variant(std::atan(toDouble(a[0])));
}
Variant fSin(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    return Variant(std::sin(toDouble(a[0])));
}
Variant fCos(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    return Variant(std::cos(toDouble(a[0])));
}
Variant fTan(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    return checked(std::tan(toDouble(a[0])));
}
Variant fRound(BuiltinContext&, CallArgs a) {
    Variant v = arg(a, 0);
    if (v.isNull()) return Variant::null();
    int32_t digits = argLong(a, 1, 0);
    if (digits < 0 || digits > 22) raise(err::InvalidCall);
    if (v.type() == VT::Boolean) return v;  // Round(True) stays a Boolean
    Variant n = toNumeric(v);
    switch (n.type()) {
        case VT::Integer: case VT::Long: case VT::Byte: return n;
        default: break;
    }
    double d = toDouble(n);
    double r;
    if (digits == 0) {
        r = roundHalfEven(d);
    } else {
        double scale = std::pow(10.0, digits);
        double scaled = d * scale;
        // decimal text of the value decides ties, so 2.675 (stored as 2.67499...) behaves as written
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", scaled);
        double s2 = std::strtod(buf, nullptr);
        r = roundHalfEven(s2) / scale;
    }
    if (n.type() == VT::Single) return Variant(static_cast<float>(r));
    if (n.type() == VT::Currency) return Variant::currency(static_cast<int64_t>(std::llround(r * 10000.0)));
    if (r == 0) r = 0;  // no negative zero
    return Variant(r);
}

float nextRnd(Interpreter& in) {
    in.rndSeed = (in.rndSeed * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return static_cast<float>(in.rndSeed) / 16777216.0f;
}
Variant fRnd(BuiltinContext& c, CallArgs a) {
    Interpreter& in = c.interp;
    if (a.has(0)) {
        double d = toDouble(a[0]);
        if (d == 0) return Variant(in.lastRnd);
        if (d < 0) {
            float f = static_cast<float>(d);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            in.rndSeed = (bits + (bits >> 24)) & 0xFFFFFFu;
        }
    }
    in.lastRnd = nextRnd(in);
    return Variant(in.lastRnd);
}
Variant fRandomize(BuiltinContext& c, CallArgs a) {
    double seed;
    if (a.has(0)) {
        seed = toDouble(a[0]);
    } else {
        auto now = std::chrono::system_clock::now().time_since_epoch();
        seed = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(now).count() % 86400000000LL) / 1e6;
    }
    uint64_t bits;
    std::memcpy(&bits, &seed, 8);
    uint32_t hi = static_cast<uint32_t>(bits >> 32);
    hi ^= hi >> 16;
    c.interp.rndSeed = (c.interp.rndSeed & 0xFF0000FFu) | ((hi & 0xFFFFu) << 8);
    return Variant();
}

// ---- type tests
Variant fIsArray(BuiltinContext&, CallArgs a) { return Variant(a[0].isArray()); }
Variant fIsEmpty(BuiltinContext&, CallArgs a) { return Variant(a[0].isEmpty()); }
Variant fIsNull(BuiltinContext&, CallArgs a) { return Variant(a[0].isNull()); }
Variant fIsObject(BuiltinContext&, CallArgs a) { return Variant(a[0].isObject()); }
Variant fIsNumeric(BuiltinContext&, CallArgs a) {
    Variant v = a[0];
    if (v.isObject()) {
        if (!v.obj()) return Variant(false);
        try {
            v = valueOf(v);
        } catch (const ScriptError&) {
            return Variant(false);
        }
    }
    switch (v.type()) {
        case VT::Empty: return Variant(true);
        case VT::String: {
            double d;
            return Variant(parseNumber(v.str(), d));
        }
        case VT::Date: case VT::Null: case VT::Array: case VT::Error: case VT::Object: return Variant(false);
        default: return Variant(true);
    }
}
Variant fIsDate(BuiltinContext&, CallArgs a) {
    Variant v = a[0];
    if (v.type() == VT::Date) return Variant(true);
    if (v.isString()) {
        double d;
        return Variant(parseDate(v.str(), d));
    }
    return Variant(false);
}
Variant fVarType(BuiltinContext&, CallArgs a) {
    return Variant(static_cast<int16_t>(static_cast<uint16_t>(a[0].type())));
}
Variant fTypeName(BuiltinContext&, CallArgs a) {
    const Variant& v = a[0];
    switch (v.type()) {
        case VT::Empty: return Variant(u"Empty");
        case VT::Null: return Variant(u"Null");
        case VT::Integer: return Variant(u"Integer");
        case VT::Long: return Variant(u"Long");
        case VT::Single: return Variant(u"Single");
        case VT::Double: return Variant(u"Double");
        case VT::Currency: return Variant(u"Currency");
        case VT::Date: return Variant(u"Date");
        case VT::String: return Variant(u"String");
        case VT::Boolean: return Variant(u"Boolean");
        case VT::Byte: return Variant(u"Byte");
        case VT::Error: return Variant(u"Error");
        case VT::Array: return Variant(u"Variant()");
        case VT::Object:
            if (!v.obj()) return Variant(u"Nothing");
            return Variant::fromUtf8(v.obj()->typeName());
    }
    return Variant(u"Unknown");
}

// ---- arrays
Variant fArray(BuiltinContext&, CallArgs a) {
    Variant result(newArray({static_cast<int32_t>(a.size()) - 1}));
    ArrayData& arr = result.arr();
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].isMissing()) raise(err::ArgNotOptional);
        arr.data[i] = a[i];
    }
    return result;
}
Variant bound(CallArgs a, bool upper) {
    const Variant& v = a[0];
    if (!v.isArray()) raise(err::TypeMismatch);
    int32_t dim = argLong(a, 1, 1);
    const auto& ub = v.arr().ubounds;
    if (dim < 1 || static_cast<size_t>(dim) > ub.size()) raise(err::SubscriptRange);
    return Variant(upper ? ub[static_cast<size_t>(dim - 1)] : int32_t{0});
}
Variant fUBound(BuiltinContext&, CallArgs a) { return bound(a, true); }
Variant fLBound(BuiltinContext&, CallArgs a) { return bound(a, false); }

const BuiltinDef kMath[] = {
    {"CBool", 1, 1, fCBool},
    {"CByte", 1, 1, fCByte, BuiltinKind::Conversion}, {"CCur", 1, 1, fCCur, BuiltinKind::Conversion},
    {"CDate", 1, 1, fCDate, BuiltinKind::Conversion}, {"CDbl", 1, 1, fCDbl, BuiltinKind::Conversion},
    {"CInt", 1, 1, fCInt, BuiltinKind::Conversion}, {"CLng", 1, 1, fCLng, BuiltinKind::Conversion},
    {"CSng", 1, 1, fCSng, BuiltinKind::Conversion},
    {"CStr", 1, 1, fCStr}, {"Hex", 1, 1, fHex}, {"Oct", 1, 1, fOct}, {"Int", 1, 1, fInt},
    {"Fix", 1, 1, fFix}, {"Abs", 1, 1, fAbs}, {"Sgn", 1, 1, fSgn}, {"Sqr", 1, 1, fSqr},
    {"Exp", 1, 1, fExp}, {"Log", 1, 1, fLog}, {"Atn", 1, 1, fAtn}, {"Sin", 1, 1, fSin},
    {"Cos", 1, 1, fCos}, {"Tan", 1, 1, fTan}, {"Round", 1, 2, fRound}, {"Rnd", 0, 1, fRnd},
    {"Randomize", 0, 1, fRandomize, BuiltinKind::Sub}, {"IsArray", 1, 1, fIsArray}, {"IsEmpty", 1, 1, fIsEmpty},
    {"IsNull", 1, 1, fIsNull}, {"IsObject", 1, 1, fIsObject}, {"IsNumeric", 1, 1, fIsNumeric},
    {"IsDate", 1, 1, fIsDate}, {"VarType", 1, 1, fVarType}, {"TypeName", 1, 1, fTypeName},
    {"Array", 0, 32000, fArray}, {"UBound", 1, 2, fUBound}, {"LBound", 1, 2, fLBound},
};

}  // namespace

std::span<const BuiltinDef> mathBuiltins() { return kMath; }

}  // namespace vk::vbs
