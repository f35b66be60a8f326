// VBScript text: compiling and running any script ends (a statement and time budget stops
// loops, as the window's Stop button would) with a result, never a crash or a sanitizer
// report. Run with the dictionary: fuzz_vbs -dict=fuzz/vbs.dict
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "script/vbs/Engine.h"

using namespace vk::vbs;

namespace {

// Statements and time one input may take; the pump is called every kPumpEvery statements.
// Under Resume Next a loop can raise an error per statement, which is slow to unwind.
constexpr unsigned kPumpEvery = 64;
constexpr unsigned kStatementBudget = 50'000;
constexpr auto kTimeBudget = std::chrono::seconds(2);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    Engine engine;
    unsigned ran = 0;
    auto start = std::chrono::steady_clock::now();
    engine.setPump([&] {
        ran += kPumpEvery;
        if (ran >= kStatementBudget || std::chrono::steady_clock::now() - start > kTimeBudget) engine.requestStop();
    }, kPumpEvery);
    ScriptResult r = engine.executeStatement(text);
    if (!r.ok && r.description.empty()) __builtin_trap();  // every failure says what it was
    // The engine keeps its state between runs: a second run over what the first left.
    ran = 0;
    start = std::chrono::steady_clock::now();
    (void)engine.executeStatement("x = 1");
    return 0;
}
