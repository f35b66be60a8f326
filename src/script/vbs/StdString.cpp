// String functions.
#include <algorithm>
#include <initializer_list>

#include "script/vbs/Builtins.h"
#include "script/vbs/Interpreter.h"
#include "script/vbs/Operators.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace lib {
int32_t argLong(CallArgs a, size_t i, int32_t dflt) { return a.has(i) ? toLong(a[i]) : dflt; }
std::u16string argStr(CallArgs a, size_t i) { return a.has(i) ? toStr(a[i]) : std::u16string(); }
bool nullArg(CallArgs a, size_t i) { return i < a.size() && valueOf(a[i]).isNull(); }
void refuseNull(CallArgs a, std::initializer_list<size_t> indexes) {
    for (size_t i : indexes)
        if (nullArg(a, i)) raise(err::InvalidNull);
}
int compareMode(CallArgs a, size_t i, Interpreter&) {
    if (!a.has(i)) return 0;
    int32_t m = toLong(a[i]);
    if (m < 0 || m > 2) raise(err::InvalidCall);
    return m == 0 ? 0 : 1;
}
}  // namespace lib

using namespace lib;

namespace {

Variant null() { return Variant::null(); }

size_t findStr(std::u16string_view hay, std::u16string_view needle, size_t from, bool text) {
    if (!text) return hay.find(needle, from);
    if (needle.size() > hay.size()) return std::u16string::npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && foldUpper(hay[i + k]) == foldUpper(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::u16string::npos;
}

size_t rfindStr(std::u16string_view hay, std::u16string_view needle, size_t lastStart, bool text) {
    if (needle.size() > hay.size()) return std::u16string::npos;
    size_t i = std::min(lastStart, hay.size() - needle.size());
    for (;;) {
        size_t k = 0;
        while (k < needle.size() &&
               (text ? foldUpper(hay[i + k]) == foldUpper(needle[k]) : hay[i + k] == needle[k]))
            ++k;
        if (k == needle.size()) return i;
        if (i == 0) break;
        --i;
    }
    return std::u16string::npos;
}

int32_t lengthArg(CallArgs a, size_t i) {
    int32_t n = toLong(a[i]);
    if (n < 0) raise(err::InvalidCall);
    return n;
}

Variant fLen(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return null();
    return Variant(static_cast<int32_t>(toStr(a[0]).size()));
}
Variant fLenB(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return null();
    return Variant(static_cast<int32_t>(toStr(a[0]).size() * 2));
}
// Left, Right and Mid check their numbers before they give Null for a Null text.
Variant fLeft(BuiltinContext&, CallArgs a) {
    int32_t n = lengthArg(a, 1);
    if (nullArg(a, 0)) return null();
    std::u16string s = toStr(a[0]);
    return Variant(s.substr(0, static_cast<size_t>(n)));
}
Variant fRight(BuiltinContext&, CallArgs a) {
    int32_t n = lengthArg(a, 1);
    if (nullArg(a, 0)) return null();
    std::u16string s = toStr(a[0]);
    size_t k = std::min(s.size(), static_cast<size_t>(n));
    return Variant(s.substr(s.size() - k));
}
Variant fMid(BuiltinContext&, CallArgs a) {
    refuseNull(a, {2, 1});
    int32_t start = toLong(a[1]);
    size_t len = std::u16string::npos;
    int32_t given = a.has(2) ? toLong(a[2]) : 0;
    if (start < 1 || given < 0) raise(err::InvalidCall);
    if (a.has(2)) len = static_cast<size_t>(given);
    if (nullArg(a, 0)) return null();
    std::u16string s = toStr(a[0]);
    if (static_cast<size_t>(start) > s.size()) return Variant(std::u16string());
    return Variant(s.substr(static_cast<size_t>(start - 1), len));
}
Variant fInStr(BuiltinContext& c, CallArgs a) {
    size_t base = 0;
    int32_t start = 1;
    if (a.size() >= 3) {
        if (nullArg(a, 0)) raise(err::InvalidNull);
        start = toLong(a[0]);
        base = 1;
        if (start < 1) raise(err::InvalidCall);
    }
    if (a.size() < base + 2) raise(err::WrongArgs);
    int mode = compareMode(a, base + 2, c.interp);
    if (nullArg(a, base) || nullArg(a, base + 1)) return null();
    std::u16string s1 = toStr(a[base]), s2 = toStr(a[base + 1]);
    if (static_cast<size_t>(start) > s1.size()) return Variant(int32_t{0});
    if (s2.empty()) return Variant(start);
    size_t p = findStr(s1, s2, static_cast<size_t>(start - 1), mode == 1);
    return Variant(p == std::u16string::npos ? 0 : static_cast<int32_t>(p + 1));
}
Variant fInStrRev(BuiltinContext& c, CallArgs a) {
    refuseNull(a, {0, 1, 2, 3});
    std::u16string s1 = toStr(a[0]), s2 = toStr(a[1]);
    int32_t start = argLong(a, 2, -1);
    if (start == 0 || start < -1) raise(err::InvalidCall);
    int mode = compareMode(a, 3, c.interp);
    if (start == -1) start = static_cast<int32_t>(s1.size());
    if (static_cast<size_t>(start) > s1.size()) return Variant(int32_t{0});
    if (s2.empty()) return Variant(start);
    if (static_cast<size_t>(start) < s2.size()) return Variant(int32_t{0});
    size_t last = static_cast<size_t>(start) - s2.size();
    size_t p = rfindStr(s1, s2, last, mode == 1);
    return Variant(p == std::u16string::npos ? 0 : static_cast<int32_t>(p + 1));
}
Variant fReplace(BuiltinContext& c, CallArgs a) {
    refuseNull(a, {0, 1, 2, 3, 4, 5});
    std::u16string s = toStr(a[0]), find = toStr(a[1]), repl = toStr(a[2]);
    int32_t start = argLong(a, 3, 1);
    int32_t count = argLong(a, 4, -1);
    if (start < 1 || count < -1) raise(err::InvalidCall);
    int mode = compareMode(a, 5, c.interp);
    if (static_cast<size_t>(start) > s.size()) return Variant(std::u16string());
    std::u16string src = s.substr(static_cast<size_t>(start - 1));
    if (find.empty() || count == 0) return Variant(src);
    std::u16string out;
    size_t pos = 0;
    int32_t done = 0;
    for (;;) {
        if (count != -1 && done >= count) break;
        size_t p = findStr(src, find, pos, mode == 1);
        if (p == std::u16string::npos) break;
        out.append(src, pos, p - pos);
        out += repl;
        if (out.size() > kMaxStringLength) raise(err::OutOfStringSpace);
        pos = p + find.size();
        ++done;
    }
    out.append(src, pos, std::u16string::npos);
    return Variant(std::move(out));
}
Variant fSplit(BuiltinContext& c, CallArgs a) {
    refuseNull(a, {0, 1, 2, 3});
    std::u16string s = toStr(a[0]);
    std::u16string delim = a.has(1) ? toStr(a[1]) : u" ";
    int32_t limit = argLong(a, 2, -1);
    if (limit < -1) raise(err::InvalidCall);
    if (a.has(3) && toLong(a[3]) == 2) raise(err::InvalidCall);  // no database compare here
    int mode = compareMode(a, 3, c.interp);
    std::vector<std::u16string> parts;
    if (!s.empty() && limit != 0) {
        if (delim.empty()) {
            parts.push_back(s);
        } else {
            size_t pos = 0;
            for (;;) {
                if (limit != -1 && static_cast<int32_t>(parts.size()) == limit - 1) {
                    parts.push_back(s.substr(pos));
                    break;
                }
                size_t p = findStr(s, delim, pos, mode == 1);
                if (p == std::u16string::npos) {
                    parts.push_back(s.substr(pos));
                    break;
                }
                parts.push_back(s.substr(pos, p - pos));
                pos = p + delim.size();
                if (parts.size() > kMaxArrayElements) raise(err::OutOfMemory);
            }
        }
    }
    ArrayData* arr = newArray({static_cast<int32_t>(parts.size()) - 1});
    for (size_t i = 0; i < parts.size(); ++i) arr->data[i] = Variant(std::move(parts[i]));
    return Variant(arr);
}
Variant fJoin(BuiltinContext&, CallArgs a) {
    Variant v = valueOf(a[0]);
    if (!v.isArray() || v.arr().ubounds.size() > 1) raise(err::TypeMismatch);
    std::u16string delim = a.has(1) ? toStr(a[1]) : u" ";
    std::u16string out;
    const auto& data = v.arr().data;
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) out += delim;
        if (!data[i].isNull()) out += toStr(data[i]);
        if (out.size() > kMaxStringLength) raise(err::OutOfStringSpace);
    }
    return Variant(std::move(out));
}
Variant fFilter(BuiltinContext& c, CallArgs a) {
    Variant v = valueOf(a[0]);
    if (!v.isArray() || v.arr().ubounds.size() != 1) raise(err::TypeMismatch);
    if (nullArg(a, 1)) raise(err::InvalidNull);
    std::u16string match = toStr(a[1]);
    bool include = a.has(2) ? toBool(a[2]) : true;
    int mode = compareMode(a, 3, c.interp);
    std::vector<Variant> keep;
    for (const auto& item : v.arr().data) {
        std::u16string s = item.isNull() ? std::u16string() : toStr(item);
        bool found = findStr(s, match, 0, mode == 1) != std::u16string::npos;
        if (found == include) keep.push_back(Variant(s));
    }
    ArrayData* arr = newArray({static_cast<int32_t>(keep.size()) - 1});
    for (size_t i = 0; i < keep.size(); ++i) arr->data[i] = std::move(keep[i]);
    return Variant(arr);
}
Variant fUCase(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return null();
    return Variant(toUpper(toStr(a[0])));
}
Variant fLCase(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return null();
    return Variant(toLower(toStr(a[0])));
}
Variant trimImpl(CallArgs a, bool left, bool right) {
    if (nullArg(a, 0)) return null();
    std::u16string s = toStr(a[0]);
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && s[b] == ' ') ++b;
    if (right)
        while (e > b && s[e - 1] == ' ') --e;
    return Variant(s.substr(b, e - b));
}
Variant fTrim(BuiltinContext&, CallArgs a) { return trimImpl(a, true, true); }
Variant fLTrim(BuiltinContext&, CallArgs a) { return trimImpl(a, true, false); }
Variant fRTrim(BuiltinContext&, CallArgs a) { return trimImpl(a, false, true); }
Variant fSpace(BuiltinContext&, CallArgs a) {
    int32_t n = lengthArg(a, 0);
    if (static_cast<size_t>(n) > kMaxStringLength) raise(err::OutOfStringSpace);
    return Variant(std::u16string(static_cast<size_t>(n), u' '));
}
Variant fString(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 1)) return null();
    int32_t n = lengthArg(a, 0);
    if (static_cast<size_t>(n) > kMaxStringLength) raise(err::OutOfStringSpace);
    Variant ch = valueOf(a[1]);
    char16_t c;
    if (ch.isString()) {
        if (ch.str().empty()) raise(err::InvalidCall);
        c = ch.str()[0];
    } else {
        int32_t code = toLong(ch);
        c = cp1252ToUnicode(static_cast<unsigned char>(((code % 256) + 256) % 256));
    }
    return Variant(std::u16string(static_cast<size_t>(n), c));
}
Variant fStrReverse(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) raise(err::InvalidNull);
    std::u16string s = toStr(a[0]);
    std::reverse(s.begin(), s.end());
    return Variant(std::move(s));
}
Variant fStrComp(BuiltinContext& c, CallArgs a) {
    if (nullArg(a, 0) || nullArg(a, 1)) return null();
    int mode = compareMode(a, 2, c.interp);
    return Variant(static_cast<int16_t>(compareStrings(toStr(a[0]), toStr(a[1]), mode == 1)));
}
Variant fAsc(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) raise(err::InvalidNull);
    std::u16string s = toStr(a[0]);
    if (s.empty()) raise(err::InvalidCall);
    auto b = unicodeToCp1252(s[0]);
    return Variant(static_cast<int16_t>(b ? *b : '?'));
}
Variant fAscW(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) raise(err::InvalidNull);
    std::u16string s = toStr(a[0]);
    if (s.empty()) raise(err::InvalidCall);
    return Variant(static_cast<int16_t>(s[0]));
}
Variant fAscB(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) raise(err::InvalidNull);
    std::u16string s = toStr(a[0]);
    if (s.empty()) raise(err::InvalidCall);
    return Variant(static_cast<int16_t>(s[0] & 0xFF));
}
Variant fChr(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) raise(err::InvalidNull);
    int32_t n = toLong(a[0]);
    if (n < 0 || n > 255) raise(err::InvalidCall);
    return Variant(std::u16string(1, cp1252ToUnicode(static_cast<unsigned char>(n))));
}
Variant fChrW(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) raise(err::InvalidNull);
    int32_t n = toLong(a[0]);
    if (n < -32768 || n > 65535) raise(err::InvalidCall);
    return Variant(std::u16string(1, static_cast<char16_t>(n & 0xFFFF)));
}
Variant fChrB(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) raise(err::InvalidNull);
    int32_t n = toLong(a[0]);
    if (n < 0 || n > 255) raise(err::InvalidCall);
    return Variant(std::u16string(1, static_cast<char16_t>(n)));
}
Variant fEscape(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return null();
    std::u16string s = toStr(a[0]), out;
    static const char* hex = "0123456789ABCDEF";
    for (char16_t c : s) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::u16string_view(u"@*_+-./").find(c) != std::u16string_view::npos) {
            out += c;
        } else if (c < 256) {
            out += u'%';
            out += static_cast<char16_t>(hex[c >> 4]);
            out += static_cast<char16_t>(hex[c & 15]);
        } else {
            out += u"%u";
            for (int sh = 12; sh >= 0; sh -= 4) out += static_cast<char16_t>(hex[(c >> sh) & 15]);
        }
    }
    return Variant(std::move(out));
}
Variant fUnescape(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return null();
    std::u16string s = toStr(a[0]), out;
    auto hv = [](char16_t c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        c = foldUpper(c);
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%') {
            if (i + 5 < s.size() + 0 && (s[i + 1] == 'u' || s[i + 1] == 'U')) {
                int v = 0;
                bool ok = true;
                for (int k = 2; k < 6; ++k) {
                    int d = hv(s[i + k]);
                    if (d < 0) ok = false;
                    v = v * 16 + std::max(d, 0);
                }
                if (ok) {
                    out += static_cast<char16_t>(v);
                    i += 5;
                    continue;
                }
            } else if (i + 2 < s.size() && hv(s[i + 1]) >= 0 && hv(s[i + 2]) >= 0) {
                out += static_cast<char16_t>(hv(s[i + 1]) * 16 + hv(s[i + 2]));
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return Variant(std::move(out));
}

const BuiltinDef kString[] = {
    {"Len", 1, 1, fLen}, {"LenB", 1, 1, fLenB}, {"Left", 2, 2, fLeft}, {"Right", 2, 2, fRight},
    {"Mid", 2, 3, fMid}, {"InStr", 2, 4, fInStr}, {"InStrRev", 2, 4, fInStrRev}, {"Replace", 3, 6, fReplace},
    {"Split", 1, 4, fSplit}, {"Join", 1, 2, fJoin}, {"Filter", 2, 4, fFilter}, {"UCase", 1, 1, fUCase},
    {"LCase", 1, 1, fLCase}, {"Trim", 1, 1, fTrim}, {"LTrim", 1, 1, fLTrim}, {"RTrim", 1, 1, fRTrim},
    {"Space", 1, 1, fSpace}, {"String", 2, 2, fString}, {"StrReverse", 1, 1, fStrReverse},
    {"StrComp", 2, 3, fStrComp}, {"Asc", 1, 1, fAsc}, {"AscW", 1, 1, fAscW}, {"AscB", 1, 1, fAscB},
    {"Chr", 1, 1, fChr}, {"ChrW", 1, 1, fChrW}, {"ChrB", 1, 1, fChrB}, {"Escape", 1, 1, fEscape},
    {"Unescape", 1, 1, fUnescape},
    {"LeftB", 2, 2, fLeft}, {"RightB", 2, 2, fRight}, {"MidB", 2, 3, fMid}, {"InStrB", 2, 4, fInStr},
};

}  // namespace

std::span<const BuiltinDef> stringBuiltins() { return kString; }

}  // namespace vk::vbs
