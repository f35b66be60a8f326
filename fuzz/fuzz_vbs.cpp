// VBScript text: compiling and running any script ends (a statement budget stops loops and
// recursion) with a result, never a crash, a hang or a sanitizer report. Run with the
// dictionary: fuzz_vbs -dict=fuzz/vbs.dict
#include <cstddef>
#include <cstdint>
#include <string>

#include "script/vbs/Engine.h"

using namespace vk::vbs;

namespace {

// Statements one input may run; the pump is called every kPumpEvery of them.
constexpr unsigned kPumpEvery = 256;
constexpr unsigned kStatementBudget = 200'000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    Engine engine;
    unsigned ran = 0;
    engine.setPump([&] {
        ran += kPumpEvery;
        if (ran >= kStatementBudget) engine.requestStop();
    }, kPumpEvery);
    ScriptResult r = engine.executeStatement(text);
    if (!r.ok && r.description.empty()) __builtin_trap();  // every failure says what it was
    // The engine keeps its state between runs: a second run over what the first left.
    ran = 0;
    (void)engine.executeStatement("x = 1");
    return 0;
}
