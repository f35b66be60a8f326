#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/vbs/Engine.h"
#include "script/vbs/Text.h"

namespace vk::vbs::test {

// The test's console: Out "text" (global member) appends one line.
class Capture : public Object {
public:
    std::string typeName() const override { return "Capture"; }
    bool hasMember(std::string_view n) const override { return equalsNoCase(n, "out"); }
    Variant invoke(std::string_view name, InvokeKind, CallArgs args) override {
        if (!equalsNoCase(name, "out")) throw ScriptError(438);
        std::string line;
        for (size_t i = 0; i < args.size(); ++i) {
            if (i) line += " ";
            const Variant& v = args[i];
            line += v.isNull() ? std::string("<Null>") : toUtf8(v);
        }
        lines.push_back(line);
        return Variant();
    }
    std::vector<std::string> lines;
};

struct Runner {
    Engine engine;
    Ref<Capture> out{new Capture};
    Runner() { engine.addObject("Host", out, true); }

    // Output lines joined by "|", then "ERR n: text @line" if the run failed.
    std::string run(const std::string& script) {
        out->lines.clear();
        ScriptResult r = engine.executeStatement(script);
        std::string s;
        for (size_t i = 0; i < out->lines.size(); ++i) {
            if (i) s += "|";
            s += out->lines[i];
        }
        if (!r.ok) {
            if (!s.empty()) s += "|";
            s += "ERR " + std::to_string(r.number) + ": " + r.description + " @" + std::to_string(r.line);
        }
        return s;
    }
};

// A named script and what Runner::run gives for it.
struct ScriptCase {
    const char* name;
    const char* script;
    const char* expected;
};

inline std::string caseName(const ::testing::TestParamInfo<ScriptCase>& info) { return info.param.name; }

inline void expectScript(const ScriptCase& c) {
    Runner r;
    EXPECT_EQ(r.run(c.script), c.expected) << c.script;
}

// An expression (or a script) and the text it prints; an expected "ERR n" matches any error
// with that number, whatever its text and line.
struct ValueCase {
    const char* expr;
    const char* expected;
};

inline void expectOutput(const std::string& script, const std::string& expected, const std::string& label) {
    Runner r;
    std::string got = r.run(script);
    if (expected.rfind("ERR ", 0) == 0)
        EXPECT_EQ(got.substr(0, expected.size() + 1), expected + ":") << label;
    else
        EXPECT_EQ(got, expected) << label;
}

}  // namespace vk::vbs::test
