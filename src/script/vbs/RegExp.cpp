// VBScript.RegExp on std::wregex (ECMAScript grammar, which is what VBScript's JScript-style
// patterns are). UTF-16 code units map 1:1 to wchar_t, so FirstIndex and Length stay exact.
#include <pthread.h>

#include <exception>
#include <functional>
#include <regex>

#include "script/vbs/StdObjects.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

constexpr size_t kInlineLimit = 1000;             // longer subjects run on a thread with a big stack
constexpr size_t kStackBytes = 512u * 1024 * 1024; // reserved, touched only as needed
constexpr size_t kMaxSubject = 16u * 1024 * 1024;

// libstdc++'s matcher recurses per character; on a long subject it would overflow an
// ordinary stack, so such matches run where there is room.
void withBigStack(const std::function<void()>& fn, size_t subjectLength) {
    if (subjectLength > kMaxSubject) raise(err::OutOfMemory);
    if (subjectLength < kInlineLimit) {
        fn();
        return;
    }
    struct Job {
        const std::function<void()>* fn;
        std::exception_ptr error;
    } job{&fn, nullptr};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kStackBytes);
    pthread_t th;
    auto entry = [](void* p) -> void* {
        auto* j = static_cast<Job*>(p);
        try {
            (*j->fn)();
        } catch (...) {
            j->error = std::current_exception();
        }
        return nullptr;
    };
    int rc = pthread_create(&th, &attr, entry, &job);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        fn();  // no thread available: run here
        return;
    }
    pthread_join(th, nullptr);
    if (job.error) std::rethrow_exception(job.error);
}

std::wstring wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
std::u16string narrow(std::wstring_view s) {
    std::u16string r;
    r.reserve(s.size());
    for (wchar_t c : s) r.push_back(static_cast<char16_t>(c));
    return r;
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
                compiled_ = false;
                return Variant();
            }
            return Variant(pattern_);
        }
        if (equalsNoCase(name, "ignorecase") || equalsNoCase(name, "global") || equalsNoCase(name, "multiline")) {
            bool& flag = equalsNoCase(name, "global") ? global_ : equalsNoCase(name, "multiline") ? multiline_ : ignoreCase_;
            if (put) {
                flag = toBool(last());
                compiled_ = false;
                return Variant();
            }
            return Variant(flag);
        }
        if (put) raise(err::NoSuchMember);
        if (equalsNoCase(name, "test")) {
            if (a.size() != 1) raise(err::WrongArgs);
            std::wstring s = wide(toStr(a[0]));
            compile();
            bool found = false;
            run([&] { found = std::regex_search(s, re_); }, s.size());
            return Variant(found);
        }
        if (equalsNoCase(name, "execute")) {
            if (a.size() != 1) raise(err::WrongArgs);
            std::wstring s = wide(toStr(a[0]));
            compile();
            Ref<Matches> result(new Matches);
            run([&] {
                for (auto it = std::wsregex_iterator(s.begin(), s.end(), re_); it != std::wsregex_iterator(); ++it) {
                    const auto& m = *it;
                    Ref<Match> mm(new Match);
                    mm->value = narrow(m.str(0));
                    mm->firstIndex = static_cast<int32_t>(m.position(0));
                    for (size_t g = 1; g < m.size(); ++g)
                        mm->subs->items.push_back(m[g].matched ? Variant(narrow(m.str(g))) : Variant());
                    result->items.push_back(mm);
                    if (!global_ || result->items.size() > kMaxSubject) break;
                }
            }, s.size());
            return Variant(result);
        }
        if (equalsNoCase(name, "replace")) {
            if (a.size() != 2) raise(err::WrongArgs);
            std::wstring s = wide(toStr(a[0]));
            std::wstring with = wide(toStr(a[1]));
            compile();
            std::wstring out;
            run([&] {
                auto flags = global_ ? std::regex_constants::format_default : std::regex_constants::format_first_only;
                out = std::regex_replace(s, re_, with, flags);
            }, s.size());
            if (out.size() > kMaxStringLength) raise(err::OutOfStringSpace);
            return Variant(narrow(out));
        }
        raise(err::NoSuchMember);
    }

private:
    void run(const std::function<void()>& fn, size_t len) {
        try {
            withBigStack(fn, len);
        } catch (const std::regex_error&) {
            raise(err::RegExpSyntax);
        }
    }

    void compile() {
        if (compiled_) return;
        auto flags = std::regex_constants::ECMAScript;
        if (ignoreCase_) flags |= std::regex_constants::icase;
        if (multiline_) flags |= std::regex_constants::multiline;
        try {
            re_ = std::wregex(wide(pattern_), flags);
        } catch (const std::regex_error& e) {
            switch (e.code()) {
                case std::regex_constants::error_brack: raise(5019);
                case std::regex_constants::error_paren: raise(5020);
                case std::regex_constants::error_range: raise(5021);
                case std::regex_constants::error_badrepeat: raise(5018);
                default: raise(err::RegExpSyntax);
            }
        }
        compiled_ = true;
    }

    std::u16string pattern_;
    bool ignoreCase_ = false, global_ = false, multiline_ = false;
    bool compiled_ = false;
    std::wregex re_;
};

}  // namespace

Ref<Object> makeRegExp() { return Ref<Object>(new RegExp); }

}  // namespace vk::vbs
