#include "support/PeFixture.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include "support/RunProgram.h"

namespace vk::test {
namespace fs = std::filesystem;

std::string findInPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        std::string candidate = dir + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

PeBuilder::PeBuilder(const TempDir& dir) : dir_(dir) {
    windres_ = findInPath("x86_64-w64-mingw32-windres");
    ld_ = findInPath("x86_64-w64-mingw32-ld");
    as_ = findInPath("x86_64-w64-mingw32-as");
    // windres preprocesses its input; the C preprocessor of the host compiler does.
    cpp_ = findInPath("cpp");
    if (windres_.empty() || ld_.empty() || as_.empty())
        unavailable_ = "the MinGW binutils (binutils-mingw-w64-x86-64) are not installed";
    else if (cpp_.empty())
        unavailable_ = "no C preprocessor (cpp) for windres";
}

fs::path PeBuilder::build(const std::string& name, const std::string& rcText, Bits bits) const {
    auto run = [](const std::string& program, const std::vector<std::string>& args) {
        ProgramResult r = runProgram(program, args);
        if (r.status != 0) throw std::runtime_error(program + " failed: " + r.out + r.err);
    };
    const bool pe32 = bits == Bits::Pe32;
    const fs::path out = dir_ / name;
    std::vector<std::string> objects;
    // A little code, so that even a file without resources has a section.
    const fs::path code = dir_.write(name + ".s", ".text\n.globl start\nstart:\n ret\n");
    const fs::path codeObj = dir_ / (name + ".code.o");
    run(as_, {pe32 ? "--32" : "--64", "-o", codeObj.string(), code.string()});
    objects.push_back(codeObj.string());
    if (!rcText.empty()) {
        const fs::path rc = dir_.write(name + ".rc", rcText);
        const fs::path res = dir_ / (name + ".res.o");
        std::vector<std::string> args = {"--preprocessor=" + cpp_, "-I", dir_.str(), "-O", "coff", "-i",
                                         rc.string(), "-o", res.string()};
        if (pe32) args.insert(args.begin(), {"-F", "pe-i386"});
        run(windres_, args);
        objects.push_back(res.string());
    }
    std::vector<std::string> args = {"-e", "start", "-o", out.string()};
    if (pe32) {
        // The cross linker ships no 32-bit script; two sections are all we need.
        const fs::path script = dir_.write(name + ".ld",
                                           "SECTIONS {\n"
                                           "  .text __image_base__ + __section_alignment__ : { *(.text) }\n"
                                           "  .rsrc BLOCK(__section_alignment__) : { *(.rsrc) *(.rsrc$*) }\n"
                                           "}\n");
        args.insert(args.begin(), {"-m", "i386pe", "-T", script.string()});
    }
    args.insert(args.end(), objects.begin(), objects.end());
    run(ld_, args);
    return out;
}

std::string icoFile(int size, std::uint32_t argb) {
    std::string out;
    auto put16 = [&](std::uint32_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>((v >> 8) & 0xFF);
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    const auto n = static_cast<std::uint32_t>(size);
    const std::uint32_t maskRow = ((n + 31) / 32) * 4;
    const std::uint32_t imageSize = 40 + n * n * 4 + maskRow * n;
    put16(0);
    put16(1);
    put16(1);
    out += static_cast<char>(size >= 256 ? 0 : size);
    out += static_cast<char>(size >= 256 ? 0 : size);
    out += '\0';
    out += '\0';
    put16(1);
    put16(32);
    put32(imageSize);
    put32(22);
    // BITMAPINFOHEADER: the height counts the colour and mask halves.
    put32(40);
    put32(n);
    put32(n * 2);
    put16(1);
    put16(32);
    put32(0);
    put32(n * n * 4 + maskRow * n);
    put32(0);
    put32(0);
    put32(0);
    put32(0);
    for (std::uint32_t i = 0; i < n * n; ++i) put32(argb);
    out.append(maskRow * n, '\0');
    return out;
}

}  // namespace vk::test
