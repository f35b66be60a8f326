// Host-facing functions (dialogs, objects, dynamic code), number formatting and constants.
#include <cmath>
#include <cstdio>

#include "script/vbs/Builtins.h"
#include "script/vbs/Interpreter.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

using namespace lib;

namespace {

Variant fMsgBox(BuiltinContext& c, CallArgs a) {
    std::string prompt = a.has(0) && !valueOf(a[0]).isNull() ? toUtf8(a[0]) : std::string();
    int32_t buttons = argLong(a, 1, 0);
    std::string title = a.has(2) ? toUtf8(a[2]) : std::string("VBScript");
    if (!c.interp.dialogs) return Variant(int16_t{1});
    return Variant(static_cast<int16_t>(c.interp.dialogs->msgBox(prompt, buttons, title)));
}
Variant fInputBox(BuiltinContext& c, CallArgs a) {
    std::string prompt = toUtf8(a[0]);
    std::string title = a.has(1) ? toUtf8(a[1]) : std::string("VBScript");
    std::string dflt = a.has(2) ? toUtf8(a[2]) : std::string();
    if (!c.interp.dialogs) return Variant(std::u16string());
    auto r = c.interp.dialogs->inputBox(prompt, title, dflt);
    return r ? Variant::fromUtf8(*r) : Variant(std::u16string());
}
Variant fCreateObject(BuiltinContext& c, CallArgs a) {
    return Variant(c.interp.createObject(toStr(a[0])));
}
Variant fGetObject(BuiltinContext&, CallArgs) { raise(err::CantCreateObject); }
Variant fExecute(BuiltinContext& c, CallArgs a) {
    c.interp.execute(toStr(a[0]), c.frame, false);
    return Variant();
}
Variant fExecuteGlobal(BuiltinContext& c, CallArgs a) {
    c.interp.execute(toStr(a[0]), c.frame, true);
    return Variant();
}
Variant fEval(BuiltinContext& c, CallArgs a) { return c.interp.eval(toStr(a[0]), c.frame); }
Variant fGetRef(BuiltinContext& c, CallArgs a) { return Variant(c.interp.getRef(toStr(a[0]))); }
Variant fErr(BuiltinContext& c, CallArgs) { return Variant(c.interp.errObject); }
Variant fRGB(BuiltinContext&, CallArgs a) {
    auto clamp = [](int32_t v) {
        if (v < 0) raise(err::InvalidCall);
        return v > 255 ? 255 : v;
    };
    return Variant(clamp(toLong(a[0])) + clamp(toLong(a[1])) * 256 + clamp(toLong(a[2])) * 65536);
}
Variant fScriptEngine(BuiltinContext&, CallArgs) { return Variant(u"VBScript"); }
Variant fMajor(BuiltinContext&, CallArgs) { return Variant(int32_t{5}); }
Variant fMinor(BuiltinContext&, CallArgs) { return Variant(int32_t{8}); }
Variant fBuild(BuiltinContext&, CallArgs) { return Variant(int32_t{16384}); }
Variant fGetLocale(BuiltinContext&, CallArgs) { return Variant(int32_t{1033}); }
Variant fSetLocale(BuiltinContext&, CallArgs) { return Variant(int32_t{1033}); }

// FormatNumber and friends, en-US conventions.
// The Format functions refuse Null: 13 for the value, 94 for an option.
std::u16string formatFixed(double v, int digits, int leading, int parens, int group) {
    bool neg = v < 0;
    double a = std::fabs(v);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", digits, a);
    std::string s(buf);
    size_t dot = s.find('.');
    std::string ip = dot == std::string::npos ? s : s.substr(0, dot);
    std::string fp = dot == std::string::npos ? "" : s.substr(dot);
    if (group != 0 && ip.size() > 3) {
        std::string g;
        int cnt = 0;
        for (size_t i = ip.size(); i-- > 0;) {
            g.insert(g.begin(), ip[i]);
            if (++cnt % 3 == 0 && i > 0) g.insert(g.begin(), ',');
        }
        ip = g;
    }
    if (ip == "0" && leading == 0 && !fp.empty()) ip.clear();
    std::string r = ip + fp;
    bool isZero = true;
    for (char ch : r)
        if (ch >= '1' && ch <= '9') isZero = false;
    if (neg && !isZero) r = parens == -1 ? "(" + r + ")" : "-" + r;
    return u16(r);
}
int tri(CallArgs a, size_t i, int dflt) {
    if (!a.has(i)) return dflt;
    int32_t v = toLong(a[i]);
    if (v == -2) return dflt;
    return v;
}
Variant fFormatNumber(BuiltinContext&, CallArgs a) {
    refuseNull(a, {1, 2, 3, 4});
    if (nullArg(a, 0)) raise(err::TypeMismatch);
    double v = toDouble(a[0]);
    int32_t digits = argLong(a, 1, -1);
    if (digits == -1) digits = 2;
    if (digits < 0 || digits > 255) raise(err::InvalidCall);
    return Variant(formatFixed(v, digits, tri(a, 2, -1), tri(a, 3, 0), tri(a, 4, -1)));
}
Variant fFormatPercent(BuiltinContext&, CallArgs a) {
    refuseNull(a, {1, 2, 3, 4});
    if (nullArg(a, 0)) raise(err::TypeMismatch);
    double v = toDouble(a[0]) * 100.0;
    int32_t digits = argLong(a, 1, -1);
    if (digits == -1) digits = 2;
    if (digits < 0 || digits > 255) raise(err::InvalidCall);
    return Variant(formatFixed(v, digits, tri(a, 2, -1), tri(a, 3, 0), tri(a, 4, -1)) + u"%");
}
Variant fFormatCurrency(BuiltinContext&, CallArgs a) {
    refuseNull(a, {1, 2, 3, 4});
    if (nullArg(a, 0)) raise(err::TypeMismatch);
    double v = toDouble(a[0]);
    int32_t digits = argLong(a, 1, -1);
    if (digits == -1) digits = 2;
    if (digits < 0 || digits > 255) raise(err::InvalidCall);
    int parens = tri(a, 3, -1);
    std::u16string body = formatFixed(std::fabs(v), digits, tri(a, 2, -1), 0, tri(a, 4, -1));
    bool neg = v < 0 && formatFixed(v, digits, -1, 0, 0).front() == u'-';
    if (!neg) return Variant(u"$" + body);
    return Variant(parens == -1 ? u"($" + body + u")" : u"-$" + body);
}

const BuiltinDef kMisc[] = {
    {"MsgBox", 1, 5, fMsgBox}, {"InputBox", 1, 7, fInputBox}, {"CreateObject", 1, 2, fCreateObject},
    {"GetObject", 0, 2, fGetObject}, {"Execute", 1, 1, fExecute}, {"ExecuteGlobal", 1, 1, fExecuteGlobal},
    {"Eval", 1, 1, fEval}, {"GetRef", 1, 1, fGetRef}, {"Err", 0, 0, fErr}, {"RGB", 3, 3, fRGB},
    {"ScriptEngine", 0, 0, fScriptEngine}, {"ScriptEngineMajorVersion", 0, 0, fMajor},
    {"ScriptEngineMinorVersion", 0, 0, fMinor}, {"ScriptEngineBuildVersion", 0, 0, fBuild},
    {"GetLocale", 0, 0, fGetLocale}, {"SetLocale", 0, 1, fSetLocale},
    {"FormatNumber", 1, 5, fFormatNumber}, {"FormatPercent", 1, 5, fFormatPercent},
    {"FormatCurrency", 1, 5, fFormatCurrency},
};

}  // namespace

std::span<const BuiltinDef> miscBuiltins() { return kMisc; }

std::vector<ConstantDef> builtinConstants() {
    auto i = [](int v) { return (v >= -32768 && v <= 32767) ? Variant(static_cast<int16_t>(v)) : Variant(static_cast<int32_t>(v)); };
    auto l = [](int32_t v) { return Variant(v); };
    return {
        {"vbCrLf", Variant(u"\r\n")}, {"vbCr", Variant(u"\r")}, {"vbLf", Variant(u"\n")},
        {"vbNewLine", Variant(u"\r\n")}, {"vbTab", Variant(u"\t")}, {"vbNullString", Variant(u"")},
        {"vbNullChar", Variant(std::u16string(1, u'\0'))}, {"vbFormFeed", Variant(u"\f")},
        {"vbVerticalTab", Variant(u"\v")}, {"vbBack", Variant(u"\b")},
        {"vbBinaryCompare", i(0)}, {"vbTextCompare", i(1)}, {"vbDatabaseCompare", i(2)},
        {"vbOKOnly", i(0)}, {"vbOKCancel", i(1)}, {"vbAbortRetryIgnore", i(2)}, {"vbYesNoCancel", i(3)},
        {"vbYesNo", i(4)}, {"vbRetryCancel", i(5)}, {"vbCritical", i(16)}, {"vbQuestion", i(32)},
        {"vbExclamation", i(48)}, {"vbInformation", i(64)}, {"vbDefaultButton1", i(0)},
        {"vbDefaultButton2", i(256)}, {"vbDefaultButton3", i(512)}, {"vbDefaultButton4", i(768)},
        {"vbApplicationModal", i(0)}, {"vbSystemModal", i(4096)}, {"vbMsgBoxHelpButton", l(16384)},
        {"vbMsgBoxSetForeground", l(65536)}, {"vbMsgBoxRight", l(524288)}, {"vbMsgBoxRtlReading", l(1048576)},
        {"vbOK", i(1)}, {"vbCancel", i(2)}, {"vbAbort", i(3)}, {"vbRetry", i(4)}, {"vbIgnore", i(5)},
        {"vbYes", i(6)}, {"vbNo", i(7)},
        {"vbEmpty", i(0)}, {"vbNull", i(1)}, {"vbInteger", i(2)}, {"vbLong", i(3)}, {"vbSingle", i(4)},
        {"vbDouble", i(5)}, {"vbCurrency", i(6)}, {"vbDate", i(7)}, {"vbString", i(8)}, {"vbObject", i(9)},
        {"vbError", i(10)}, {"vbBoolean", i(11)}, {"vbVariant", i(12)}, {"vbDataObject", i(13)},
        {"vbDecimal", i(14)}, {"vbByte", i(17)}, {"vbArray", i(8192)},
        {"vbSunday", i(1)}, {"vbMonday", i(2)}, {"vbTuesday", i(3)}, {"vbWednesday", i(4)},
        {"vbThursday", i(5)}, {"vbFriday", i(6)}, {"vbSaturday", i(7)}, {"vbUseSystemDayOfWeek", i(0)},
        {"vbUseSystem", i(0)},
        {"vbFirstJan1", i(1)}, {"vbFirstFourDays", i(2)}, {"vbFirstFullWeek", i(3)},
        {"vbGeneralDate", i(0)}, {"vbLongDate", i(1)}, {"vbShortDate", i(2)}, {"vbLongTime", i(3)},
        {"vbShortTime", i(4)}, {"vbUseDefault", i(-2)}, {"vbTrue", i(-1)}, {"vbFalse", i(0)},
        {"vbObjectError", l(static_cast<int32_t>(0x80040000u))},
        {"vbBlack", l(0)}, {"vbRed", l(0xFF)}, {"vbGreen", l(0xFF00)}, {"vbYellow", l(0xFFFF)},
        {"vbBlue", l(0xFF0000)}, {"vbMagenta", l(0xFF00FF)}, {"vbCyan", l(0xFFFF00)}, {"vbWhite", l(0xFFFFFF)},
    };
}

}  // namespace vk::vbs
