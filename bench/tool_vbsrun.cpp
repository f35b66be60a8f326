// Runs a .vbs file with the VBScript engine; the script's Out (and WScript.Echo) lines go
// to stdout. Used by vbs_vs_python.sh.
#include <fstream>
#include <iostream>
#include <sstream>

#include "script/vbs/Engine.h"
#include "script/vbs/Text.h"

namespace {

class Console : public vk::vbs::Object {
public:
    std::string typeName() const override { return "Console"; }
    bool hasMember(std::string_view n) const override { return vk::vbs::equalsNoCase(n, "out"); }
    vk::vbs::Variant invoke(std::string_view name, vk::vbs::InvokeKind, vk::vbs::CallArgs args) override {
        if (!vk::vbs::equalsNoCase(name, "out") && !vk::vbs::equalsNoCase(name, "echo"))
            throw vk::vbs::ScriptError(438);
        for (size_t i = 0; i < args.size(); ++i) {
            if (i) std::cout << ' ';
            std::cout << (args[i].isNull() ? std::string() : vk::vbs::toUtf8(args[i]));
        }
        std::cout << '\n';
        return {};
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tool_vbsrun SCRIPT.vbs\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    vk::vbs::Engine engine;
    vk::vbs::Ref<Console> console(new Console);
    engine.addObject("Console", console, true);
    engine.addObject("WScript", console, false);
    vk::vbs::ScriptResult r = engine.executeStatement(text.str());
    if (!r.ok) {
        std::cerr << argv[1] << "(" << r.line << ", " << r.column << ") " << r.source << ": " << r.description
                  << " (" << r.number << ")\n";
        return 1;
    }
    return 0;
}
