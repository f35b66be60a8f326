#include "script/vbs/Variant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "script/vbs/DateTime.h"
#include "script/vbs/Errors.h"
#include "script/vbs/Object.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

Variant::Variant(std::u16string s) : t_(VT::String) {
    if (s.size() > kMaxStringLength) raise(err::OutOfStringSpace);
    u_.s = new StrRep{1, std::move(s)};
}

Variant::Variant(Object* o) noexcept : t_(VT::Object) {
    u_.i64 = 0;
    u_.o = o;
    if (o) o->addRef();
}

Object* Variant::obj() const noexcept { return static_cast<Object*>(u_.o); }

Variant Variant::fromUtf8(std::string_view s) { return Variant(utf8ToUtf16(s)); }

bool Variant::isNumeric() const noexcept {
    switch (t_) {
        case VT::Integer: case VT::Long: case VT::Single: case VT::Double: case VT::Currency:
        case VT::Byte: case VT::Boolean:
            return true;
        default:
            return false;
    }
}

std::u16string& Variant::strMut() {
    if (u_.s->refs != 1) {
        StrRep* copy = new StrRep{1, u_.s->s};
        --u_.s->refs;
        u_.s = copy;
    }
    return u_.s->s;
}

namespace {
// Arrays nested in arrays and chains of objects are copied and freed recursively; bound the
// copy depth, and past a modest depth queue frees for the outermost call so that a long
// chain cannot overflow the stack.
thread_local int tCopyDepth = 0;
thread_local int tDisposeDepth = 0;
thread_local std::vector<ArrayData*> tPendingArrays;
thread_local std::vector<RefCounted*> tPendingObjects;
constexpr int kMaxCopyDepth = 2000;
constexpr int kMaxDisposeDepth = 100;

void drainPending() noexcept {
    while (!tPendingArrays.empty() || !tPendingObjects.empty()) {
        ++tDisposeDepth;
        if (!tPendingArrays.empty()) {
            ArrayData* a = tPendingArrays.back();
            tPendingArrays.pop_back();
            delete a;
        } else {
            RefCounted* o = tPendingObjects.back();
            tPendingObjects.pop_back();
            o->release();
        }
        --tDisposeDepth;
    }
}
}  // namespace

void Variant::retain() {
    switch (t_) {
        case VT::String: ++u_.s->refs; break;
        case VT::Object: if (u_.o) u_.o->addRef(); break;
        case VT::Array: {
            if (tCopyDepth >= kMaxCopyDepth) raise(err::OutOfStack);
            ++tCopyDepth;
            struct Guard {
                ~Guard() { --tCopyDepth; }
            } g;
            u_.a = new ArrayData{u_.a->ubounds, u_.a->data, false, 0};
            break;
        }
        default: break;
    }
}

void Variant::dispose() noexcept {
    switch (t_) {
        case VT::String:
            if (--u_.s->refs == 0) delete u_.s;
            break;
        case VT::Object:
            if (!u_.o) break;
            if (tDisposeDepth >= kMaxDisposeDepth && u_.o->refCount() == 1) {
                tPendingObjects.push_back(u_.o);
                break;
            }
            ++tDisposeDepth;
            u_.o->release();
            --tDisposeDepth;
            if (tDisposeDepth == 0) drainPending();
            break;
        case VT::Array:
            if (tDisposeDepth >= kMaxDisposeDepth) {
                tPendingArrays.push_back(u_.a);
                break;
            }
            ++tDisposeDepth;
            delete u_.a;
            --tDisposeDepth;
            if (tDisposeDepth == 0) drainPending();
            break;
        default:
            break;
    }
    t_ = VT::Empty;
}

double roundHalfEven(double d) { return std::nearbyint(d); }

Variant valueOf(const Variant& v) {
    if (!v.isObject()) return v;
    Variant cur = v;
    for (int depth = 0; cur.isObject(); ++depth) {
        Object* o = cur.obj();
        if (!o) raise(err::ObjectNotSet);
        if (depth > 8) raise(err::TypeMismatch);
        Ref<Object> keep(o);
        cur = o->invoke("", InvokeKind::Get, {});
    }
    return cur;
}

bool parseNumber(std::u16string_view s, double& out) {
    size_t b = 0, e = s.size();
    auto isSpace = [](char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0; };
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    if (b == e) return false;
    std::u16string_view t = s.substr(b, e - b);
    if (t.size() >= 2 && t[0] == '&') {
        char16_t k = foldUpper(t[1]);
        int base = k == 'H' ? 16 : (k == 'O' ? 8 : 0);
        size_t start = base ? 2 : 1;
        if (!base) base = 8;
        if (start >= t.size()) return false;
        uint64_t v = 0;
        size_t digits = 0;
        for (size_t i = start; i < t.size(); ++i) {
            char16_t c = foldUpper(t[i]);
            int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
            if (d >= base) return false;
            v = v * base + d;
            if (v > 0xFFFFFFFFull) return false;
            ++digits;
        }
        if (v <= 0xFFFF && (base == 16 ? digits <= 4 : v <= 0xFFFF))
            out = static_cast<int16_t>(static_cast<uint16_t>(v));
        else
            out = static_cast<int32_t>(static_cast<uint32_t>(v));
        return true;
    }
    std::string a;
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') a += static_cast<char>(t[i++]);
    bool digits = false;
    while (i < t.size() && ((t[i] >= '0' && t[i] <= '9') || (t[i] == ',' && digits))) {
        if (t[i] != ',') { a += static_cast<char>(t[i]); digits = true; }
        ++i;
    }
    if (i < t.size() && t[i] == '.') {
        a += '.';
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') { a += static_cast<char>(t[i++]); digits = true; }
    }
    if (!digits) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        a += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) a += static_cast<char>(t[i++]);
        bool ed = false;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') { a += static_cast<char>(t[i++]); ed = true; }
        if (!ed) return false;
    }
    if (i != t.size()) return false;
    out = std::strtod(a.c_str(), nullptr);
    if (!std::isfinite(out)) return false;
    return true;
}

static std::u16string formatSig(double d, int sig) {
    if (d == 0) return u"0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", sig - 1, d);
    // buf: [-]d.dddde[+-]xx
    std::string s(buf);
    bool neg = s[0] == '-';
    if (neg) s.erase(0, 1);
    size_t epos = s.find('e');
    int exp = std::atoi(s.c_str() + epos + 1);
    std::string digits;
    for (size_t i = 0; i < epos; ++i)
        if (s[i] != '.') digits += s[i];
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string r;
    if (exp >= sig || exp < -4) {
        r = digits.substr(0, 1);
        if (digits.size() > 1) r += "." + digits.substr(1);
        char eb[16];
        std::snprintf(eb, sizeof eb, "E%c%02d", exp < 0 ? '-' : '+', exp < 0 ? -exp : exp);
        r += eb;
    } else if (exp < 0) {
        r = "0." + std::string(static_cast<size_t>(-exp - 1), '0') + digits;
    } else {
        size_t intLen = static_cast<size_t>(exp) + 1;
        if (digits.size() <= intLen) {
            r = digits + std::string(intLen - digits.size(), '0');
        } else {
            r = digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    }
    if (neg) r.insert(r.begin(), '-');
    return u16(r);
}

std::u16string formatDouble(double d) { return formatSig(d, 15); }
std::u16string formatSingle(float f) { return formatSig(static_cast<double>(f), 7); }

std::u16string formatCurrency(int64_t cy) {
    bool neg = cy < 0;
    uint64_t a = neg ? static_cast<uint64_t>(-(cy + 1)) + 1 : static_cast<uint64_t>(cy);
    std::string r = std::to_string(a / 10000);
    uint64_t frac = a % 10000;
    if (frac) {
        char fb[8];
        std::snprintf(fb, sizeof fb, "%04u", static_cast<unsigned>(frac));
        std::string f(fb);
        while (!f.empty() && f.back() == '0') f.pop_back();
        r += "." + f;
    }
    if (neg) r.insert(r.begin(), '-');
    return u16(r);
}

double toDouble(const Variant& v) {
    switch (v.type()) {
        case VT::Empty: return 0;
        case VT::Null: raise(err::InvalidNull);
        case VT::Boolean: return v.boolean() ? -1 : 0;
        case VT::Integer: return v.integer();
        case VT::Long: return v.lng();
        case VT::Byte: return v.byte();
        case VT::Single: return v.single();
        case VT::Double: case VT::Date: return v.dbl();
        case VT::Currency: return static_cast<double>(v.cy()) / 10000.0;
        case VT::String: {
            double d;
            if (parseNumber(v.str(), d)) return d;
            raise(err::TypeMismatch);
        }
        case VT::Object: return toDouble(valueOf(v));
        default: raise(err::TypeMismatch);
    }
}

int32_t toLong(const Variant& v) {
    switch (v.type()) {
        case VT::Empty: return 0;
        case VT::Boolean: return v.boolean() ? -1 : 0;
        case VT::Integer: return v.integer();
        case VT::Long: return v.lng();
        case VT::Byte: return v.byte();
        default: {
            double d = roundHalfEven(toDouble(v));
            if (!(d >= -2147483648.0 && d <= 2147483647.0)) raise(err::Overflow);
            return static_cast<int32_t>(d);
        }
    }
}

int16_t toInteger(const Variant& v) {
    double d = v.type() == VT::Long ? v.lng() : roundHalfEven(toDouble(v));
    if (!(d >= -32768.0 && d <= 32767.0)) raise(err::Overflow);
    return static_cast<int16_t>(d);
}

bool toBool(const Variant& v) {
    switch (v.type()) {
        case VT::Empty: return false;
        case VT::Null: raise(err::InvalidNull);
        case VT::Boolean: return v.boolean();
        case VT::Integer: return v.integer() != 0;
        case VT::Long: return v.lng() != 0;
        case VT::Byte: return v.byte() != 0;
        case VT::String: {
            const auto& s = v.str();
            if (equalsNoCase(s, u"true") || equalsNoCase(s, u"#true#")) return true;
            if (equalsNoCase(s, u"false") || equalsNoCase(s, u"#false#")) return false;
            double d;
            if (parseNumber(s, d)) return d != 0;
            raise(err::TypeMismatch);
        }
        case VT::Object: return toBool(valueOf(v));
        default: return toDouble(v) != 0;
    }
}

std::u16string toStr(const Variant& v) {
    switch (v.type()) {
        case VT::Empty: return {};
        case VT::Null: raise(err::InvalidNull);
        case VT::Boolean: return v.boolean() ? u"True" : u"False";
        case VT::Integer: return u16(std::to_string(v.integer()));
        case VT::Long: return u16(std::to_string(v.lng()));
        case VT::Byte: return u16(std::to_string(v.byte()));
        case VT::Single: return formatSingle(v.single());
        case VT::Double: return formatDouble(v.dbl());
        case VT::Currency: return formatCurrency(v.cy());
        case VT::Date: return formatDate(v.dbl());
        case VT::String: return v.str();
        case VT::Object: return toStr(valueOf(v));
        case VT::Error: return u"Error " + u16(std::to_string(v.errorCode()));
        default: raise(err::TypeMismatch);
    }
}

std::string toUtf8(const Variant& v) { return utf16ToUtf8(toStr(v)); }

double toDate(const Variant& v) {
    switch (v.type()) {
        case VT::Date: return v.dbl();
        case VT::String: {
            double d;
            if (parseDate(v.str(), d)) return d;
            if (parseNumber(v.str(), d)) return d;
            raise(err::TypeMismatch);
        }
        case VT::Object: return toDate(valueOf(v));
        default: {
            double d = toDouble(v);
            if (!(d >= -657434.0 && d < 2958466.0)) raise(err::Overflow);
            return d;
        }
    }
}

int64_t toCurrency(const Variant& v) {
    if (v.type() == VT::Currency) return v.cy();
    double d = toDouble(v) * 10000.0;
    d = roundHalfEven(d);
    if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)) raise(err::Overflow);
    return static_cast<int64_t>(d);
}

Variant toNumeric(const Variant& v) {
    switch (v.type()) {
        case VT::Empty: return Variant(int16_t{0});
        case VT::Boolean: return Variant(static_cast<int16_t>(v.boolean() ? -1 : 0));
        case VT::String: {
            double d;
            if (parseNumber(v.str(), d)) return Variant(d);
            raise(err::TypeMismatch);
        }
        case VT::Object: return toNumeric(valueOf(v));
        case VT::Array: case VT::Error: raise(err::TypeMismatch);
        default: return v;
    }
}

ArrayData* newArray(const std::vector<int32_t>& ubounds) {
    size_t total = 1;
    for (int32_t ub : ubounds) {
        if (ub < -1) raise(err::SubscriptRange);
        total *= static_cast<size_t>(ub) + 1;  // ub + 1 would overflow for 2147483647
        if (total > kMaxArrayElements) raise(err::OutOfMemory);
    }
    auto* a = new ArrayData;
    a->ubounds = ubounds;
    a->data.resize(total);
    return a;
}

}  // namespace vk::vbs
