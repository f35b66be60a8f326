// VBScript.RegExp on PCRE2 (16-bit code units, as VBScript strings are), with the options that
// make it behave like the JScript-style engine scripts were written for. A match limit ends
// catastrophic backtracking with a script error instead of hanging the program.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <memory>

#include "script/vbs/StdObjects.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

constexpr size_t kMaxSubject = 16u * 1024 * 1024;
// Backtracking steps and memory one match may use: far more than any sane pattern needs, and
// reached in well under a second by a pattern that would otherwise backtrack for minutes.
constexpr uint32_t kMatchLimit = 5'000'000;
constexpr uint32_t kHeapLimitKiB = 256 * 1024;

PCRE2_SPTR16 units(const std::u16string& s) { return reinterpret_cast<PCRE2_SPTR16>(s.data()); }

struct CodeFree {
    void operator()(pcre2_code_16* c) const { pcre2_code_free_16(c); }
};
struct MatchDataFree {
    void operator()(pcre2_match_data_16* m) const { pcre2_match_data_free_16(m); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context_16* m) const { pcre2_match_context_free_16(m); }
};
struct CompileContextFree {
    void operator()(pcre2_compile_context_16* c) const { pcre2_compile_context_free_16(c); }
};

int32_t compileError(int code) {
    switch (code) {
        case PCRE2_ERROR_MISSING_SQUARE_BRACKET: return err::ExpectedBracketInRegExp;
        case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS:
        case PCRE2_ERROR_UNMATCHED_CLOSING_PARENTHESIS: return err::ExpectedParenInRegExp;
        case PCRE2_ERROR_CLASS_RANGE_ORDER: return err::InvalidRangeInCharSet;
        case PCRE2_ERROR_QUANTIFIER_INVALID:
        case PCRE2_ERROR_QUANTIFIER_OUT_OF_ORDER: return err::UnexpectedQuantifier;
        default: return err::RegExpSyntax;
    }
}

// One match: group 0 and the submatches as offsets into the subject (npos when unset).
struct Found {
    std::vector<std::pair<size_t, size_t>> groups;
    size_t begin() const { return groups[0].first; }
    size_t end() const { return groups[0].second; }
};

// The replacement text with $$, $&, $`, $' and $1..$99 expanded; a number beyond the groups
// the pattern has stays as written.
std::u16string expand(const std::u16string& with, const std::u16string& subject, const Found& m) {
    std::u16string out;
    size_t groups = m.groups.size() - 1;
    auto group = [&](size_t g) {
        auto [b, e] = m.groups[g];
        if (b != std::u16string::npos) out.append(subject, b, e - b);
    };
    for (size_t i = 0; i < with.size(); ++i) {
        char16_t c = with[i];
        if (c != u'$' || i + 1 >= with.size()) {
            out += c;
            continue;
        }
        char16_t n = with[i + 1];
        if (n == u'$') { out += u'$'; ++i; continue; }
        if (n == u'&') { group(0); ++i; continue; }
        if (n == u'`') { out.append(subject, 0, m.begin()); ++i; continue; }
        if (n == u'\'') { out.append(subject, m.end(), std::u16string::npos); ++i; continue; }
        if (n >= u'0' && n <= u'9') {
            size_t one = static_cast<size_t>(n - u'0');
            if (i + 2 < with.size() && with[i + 2] >= u'0' && with[i + 2] <= u'9') {
                size_t two = one * 10 + static_cast<size_t>(with[i + 2] - u'0');
                if (two >= 1 && two <= groups) {
                    group(two);
                    i += 2;
                    continue;
                }
            }
            if (one >= 1 && one <= groups) {
                group(one);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

class SubMatches : public Object {
public:
    std::vector<Variant> items;
    std::string typeName() const override { return "ISubMatches"; }
    bool enumerate(std::vector<Variant>& out) override {
        out = items;
        return true;
    }
    Variant invoke(std::string_view name, InvokeKind kind, CallArgs a) override {
        if (kind == InvokeKind::Let || kind == InvokeKind::Set) raise(err::NoSuchMember);
        if (equalsNoCase(name, "count")) return Variant(static_cast<int32_t>(items.size()));
        if (name.empty() || equalsNoCase(name, "item")) {
            if (a.size() != 1) raise(err::WrongArgs);
            int32_t i = toLong(a[0]);
            if (i < 0 || static_cast<size_t>(i) >= items.size()) raise(err::InvalidCall);
            return items[static_cast<size_t>(i)];
        }
        raise(err::NoSuchMember);
    }
};

class Match : public Object {
public:
    std::u16string value;
    int32_t firstIndex = 0;
    Ref<SubMatches> subs{new SubMatches};
    std::string typeName() const override { return "IMatch2"; }
    Variant invoke(std::string_view name, InvokeKind kind, CallArgs args) override {
        if (kind == InvokeKind::Let || kind == InvokeKind::Set) raise(err::NoSuchMember);
        if (name.empty() || equalsNoCase(name, "value")) return Variant(value);
        if (equalsNoCase(name, "firstindex")) return Variant(firstIndex);
        if (equalsNoCase(name, "length")) return Variant(static_cast<int32_t>(value.size()));
        if (equalsNoCase(name, "submatches")) {
            if (!args.empty()) return subs->invoke("", InvokeKind::Get, args);  // m.SubMatches(0)
            return Variant(subs);
        }
        raise(err::NoSuchMember);
    }
};

class Matches : public Object {
public:
    std::vector<Ref<Match>> items;
    std::string typeName() const override { return "IMatchCollection2"; }
    bool enumerate(std::vector<Variant>& out) override {
        for (auto& m : items) out.emplace_back(m);
        return true;
    }
    Variant invoke(std::string_view name, InvokeKind kind, CallArgs a) override {
        if (kind == InvokeKind::Let || kind == InvokeKind::Set) raise(err::NoSuchMember);
        if (equalsNoCase(name, "count")) return Variant(static_cast<int32_t>(items.size()));
        if (name.empty() || equalsNoCase(name, "item")) {
            if (a.size() != 1) raise(err::WrongArgs);
            int32_t i = toLong(a[0]);
            if (i < 0 || static_cast<size_t>(i) >= items.size()) raise(err::InvalidCall);
            return Variant(items[static_cast<size_t>(i)]);
        }
        raise(err::NoSuchMember);
    }
};

class RegExp : public Object {
public:
    std::string typeName() const override { return "IRegExp2"; }

    bool hasMember(std::string_view n) const override {
        for (const char* m : {"pattern", "ignorecase", "global", "multiline", "test", "execute", "replace"})
            if (equalsNoCase(n, m)) return true;
        return false;
    }

    Variant invoke(std::string_view name, InvokeKind kind, CallArgs a) override {
        bool put = kind == InvokeKind::Let || kind == InvokeKind::Set;
        auto last = [&]() -> const Variant& {
            if (a.empty()) raise(err::WrongArgs);
            return a[a.size() - 1];
        };
        if (equalsNoCase(name, "pattern")) {
            if (put) {
                pattern_ = toStr(last());
                code_.reset();
                return Variant();
            }
            return Variant(pattern_);
        }
        if (equalsNoCase(name, "ignorecase") || equalsNoCase(name, "global") || equalsNoCase(name, "multiline")) {
            bool& flag = equalsNoCase(name, "global") ? global_ : equalsNoCase(name, "multiline") ? multiline_ : ignoreCase_;
            if (put) {
                flag = toBool(last());
                code_.reset();
                return Variant();
            }
            return Variant(flag);
        }
        if (put) raise(err::NoSuchMember);
        if (equalsNoCase(name, "test")) {
            if (a.size() != 1) raise(err::WrongArgs);
            std::u16string s = subject(a[0]);
            Found m;
            return Variant(find(s, 0, m));
        }
        if (equalsNoCase(name, "execute")) {
            if (a.size() != 1) raise(err::WrongArgs);
            std::u16string s = subject(a[0]);
            Ref<Matches> result(new Matches);
            forEachMatch(s, [&](const Found& m) {
                Ref<Match> mm(new Match);
                mm->value = s.substr(m.begin(), m.end() - m.begin());
                mm->firstIndex = static_cast<int32_t>(m.begin());
                for (size_t g = 1; g < m.groups.size(); ++g) {
                    auto [b, e] = m.groups[g];
                    mm->subs->items.push_back(b == std::u16string::npos ? Variant() : Variant(s.substr(b, e - b)));
                }
                result->items.push_back(mm);
            });
            return Variant(result);
        }
        if (equalsNoCase(name, "replace")) {
            if (a.size() != 2) raise(err::WrongArgs);
            std::u16string s = subject(a[0]);
            Variant w = valueOf(a[1]);
            // a Boolean replacement is its number, as in "-1"
            std::u16string with = w.type() == VT::Boolean ? (w.boolean() ? u"-1" : u"0") : toStr(w);
            std::u16string out;
            size_t copied = 0;
            forEachMatch(s, [&](const Found& m) {
                out.append(s, copied, m.begin() - copied);
                out += expand(with, s, m);
                copied = m.end();
                if (out.size() > kMaxStringLength) raise(err::OutOfStringSpace);
            });
            out.append(s, copied, std::u16string::npos);
            if (out.size() > kMaxStringLength) raise(err::OutOfStringSpace);
            return Variant(std::move(out));
        }
        raise(err::NoSuchMember);
    }

private:
    static std::u16string subject(const Variant& v) {
        std::u16string s = toStr(v);
        if (s.size() > kMaxSubject) raise(err::OutOfMemory);
        return s;
    }

    // Calls fn for the first match, or for every match when Global is set; after an empty
    // match the search goes on one code unit further, so it always ends.
    template <class F>
    void forEachMatch(const std::u16string& s, F&& fn) {
        size_t from = 0;
        Found m;
        while (from <= s.size() && find(s, from, m)) {
            fn(m);
            if (!global_) return;
            from = m.end() > m.begin() ? m.end() : m.end() + 1;
        }
    }

    bool find(const std::u16string& s, size_t from, Found& out) {
        compile();
        std::unique_ptr<pcre2_match_data_16, MatchDataFree> md(pcre2_match_data_create_from_pattern_16(code_.get(), nullptr));
        if (!md) raise(err::OutOfMemory);
        int rc = pcre2_match_16(code_.get(), units(s), s.size(), from, 0, md.get(), context_.get());
        if (rc == PCRE2_ERROR_NOMATCH) return false;
        if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT)
            raise(err::CantPerformOperation);  // the pattern backtracks without end
        if (rc == PCRE2_ERROR_NOMEMORY) raise(err::OutOfMemory);
        if (rc < 0) raise(err::RegExpSyntax);
        uint32_t count = pcre2_get_ovector_count_16(md.get());
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer_16(md.get());
        out.groups.assign(count, {std::u16string::npos, std::u16string::npos});
        for (uint32_t g = 0; g < count; ++g)
            if (ov[2 * g] != PCRE2_UNSET) out.groups[g] = {ov[2 * g], ov[2 * g + 1]};
        return true;
    }

    void compile() {
        if (code_) return;
        std::unique_ptr<pcre2_compile_context_16, CompileContextFree> cc(pcre2_compile_context_create_16(nullptr));
        if (!cc) raise(err::OutOfMemory);
        pcre2_set_newline_16(cc.get(), PCRE2_NEWLINE_LF);
        pcre2_set_compile_extra_options_16(cc.get(), PCRE2_EXTRA_ALT_BSUX);
        // \uhhhh and \xhh as JScript reads them, a backreference to an unset group matches
        // nothing, [] and [^] are allowed, $ without Multiline is the end of the text only
        uint32_t options = PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_DOLLAR_ENDONLY;
        if (ignoreCase_) options |= PCRE2_CASELESS;
        if (multiline_) options |= PCRE2_MULTILINE;
        int code = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code_16* c = pcre2_compile_16(units(pattern_), pattern_.size(), options, &code, &offset, cc.get());
        if (!c) raise(compileError(code));
        code_.reset(c);
        if (!context_) {
            context_.reset(pcre2_match_context_create_16(nullptr));
            if (!context_) raise(err::OutOfMemory);
            pcre2_set_match_limit_16(context_.get(), kMatchLimit);
            pcre2_set_heap_limit_16(context_.get(), kHeapLimitKiB);
        }
    }

    std::u16string pattern_;
    bool ignoreCase_ = false, global_ = false, multiline_ = false;
    std::unique_ptr<pcre2_code_16, CodeFree> code_;
    std::unique_ptr<pcre2_match_context_16, MatchContextFree> context_;
};

}  // namespace

Ref<Object> makeRegExp() { return Ref<Object>(new RegExp); }

}  // namespace vk::vbs
