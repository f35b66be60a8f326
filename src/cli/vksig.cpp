// vksig: builds, inspects and extends signature databases.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <iostream>
#include <sstream>

#include "checksum/Crc32.h"
#include "checksum/Md5.h"
#include "cli/CommandLine.h"
#include "cli/DatabaseDump.h"
#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/FileDescriptor.h"
#include "platform/IniProfile.h"
#include "platform/TempFile.h"
#include "platform/VbConversion.h"
#include "scan/DatabaseFile.h"
#include "scan/ScanEngine.h"

using namespace vk;

namespace {

constexpr const char* kUsage =
    "Usage: vksig COMMAND ARGS...\n"
    "Build, inspect and extend VandrelKast signature databases.\n\n"
    "  build PAYLOAD.ini OUT.dat   encrypt a payload text into a database file\n"
    "  dump DB.dat                 load a database with the program's loader and list it\n"
    "  decrypt DB.dat [OUT.ini]    write the decrypted payload (stdout without OUT)\n"
    "  crc32 FILE...               the program's CRC-32 of each file, signed decimal\n"
    "  md5 FILE...                 MD5 digest of each file, upper-case hexadecimal\n"
    "  add PAYLOAD.ini NAME FILE   append a checksum signature for FILE to a payload\n\n"
    "  --help, --version\n";

int fail(const std::string& message) {
    std::cerr << "vksig: " << message << "\n";
    return cli::kExitError;
}

std::optional<std::string> readBytes(const std::string& path) {
    std::string bytes;
    if (platform::readWholeFile(path, bytes, SIZE_MAX) != 0) return std::nullopt;
    return bytes;
}

std::optional<std::string> readOrComplain(const std::string& path) {
    auto bytes = readBytes(path);
    if (!bytes) std::cerr << "vksig: cannot read " << path << "\n";
    return bytes;
}

int build(const std::string& payloadPath, const std::string& outPath) {
    auto payload = readOrComplain(payloadPath);
    if (!payload) return cli::kExitError;
    if (payload->empty()) return fail("the payload " + payloadPath + " is empty");
    if (platform::atomicReplaceFile(outPath, scan::buildDatabaseFile(*payload)) != 0)
        return fail("cannot write " + outPath);
    return cli::kExitOk;
}

int decrypt(const std::string& dbPath, const std::string& outPath) {
    auto env = scan::readDatabaseFile(dbPath);
    if (env.status != scan::DatabaseEnvelope::Status::Ok)
        return fail(dbPath + ": not a readable database (" + cli::envelopeProblem(env.status) + ")");
    scan::cryptPayload(env.payload);
    const std::string& text = env.payload;
    if (outPath.empty()) {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        return cli::kExitOk;
    }
    return platform::atomicReplaceFile(outPath, text) == 0 ? cli::kExitOk : fail("cannot write " + outPath);
}

int checksums(const std::vector<std::string>& files, bool md5) {
    int status = cli::kExitOk;
    for (const auto& f : files) {
        std::string digest;
        if (md5) {
            checksum::Md5 hasher;
            digest = hasher.digestFileToHexStr(f);
        } else if (auto bytes = readBytes(f)) {
            digest = std::to_string(checksum::computeCrc32(
                {reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()}));
        }
        if (digest.empty()) {
            std::cerr << "vksig: cannot read " << f << "\n";
            status = cli::kExitError;
            continue;
        }
        std::cout << digest << "  " << f << "\n";
    }
    return status;
}

// What the program's own loader says of a payload text: "" when it loads.
std::string loadProblem(const std::string& payloadText, std::vector<scan::SignatureEntry>& entries) {
    struct Errors : scan::ScanEngineEvents {
        std::string first;
        void errorOccured(std::int32_t number, const std::string& description) override {
            if (first.empty()) first = "error " + std::to_string(number) + ": " + description;
        }
    } errors;
    platform::TempFile temp = platform::createTempFile("vksig");
    if (temp.fd < 0) return "no temporary file to try it in";
    platform::FileDescriptor owned(temp.fd);
    std::string file = scan::buildDatabaseFile(payloadText);
    bool written = owned.writeAll(file.data(), file.size());
    scan::ScanEngine engine(&errors);
    engine.setDatabasePath(temp.path);
    if (written) engine.loadVirusDatabase();
    ::unlink(temp.path.c_str());
    if (!written) return "no temporary file to try it in";
    if (!engine.vDatabaseLoaded()) return errors.first.empty() ? "it does not load" : errors.first;
    entries = engine.signatures();
    return "";
}

int add(const std::string& payloadPath, const std::string& name, const std::string& file) {
    auto bytes = readOrComplain(file);
    if (!bytes) return cli::kExitError;
    if (bytes->empty()) return fail(file + " is empty; an empty file cannot be told apart by its checksum");
    auto ansiName = platform::utf8ToAnsi(name);
    if (!ansiName || ansiName->empty() || ansiName->find_first_of("\r\n") != std::string::npos ||
        ansiName->front() == ' ' || ansiName->back() == ' ')
        return fail("the name must be one line of single-byte (Windows-1252) text without blanks at either end");

    std::string text;
    int readError = platform::readWholeFile(payloadPath, text, SIZE_MAX);
    if (readError != 0 && readError != ENOENT) return fail("cannot read " + payloadPath);
    std::int32_t count = 0;
    std::string current = platform::IniDocument::parse(text).get("Main", "DatabaseSize", "0");
    try {
        count = platform::toLong(current);
    } catch (const std::exception&) {
        return fail(payloadPath + ": DatabaseSize \"" + current + "\" is not a number");
    }
    if (count < 0) return fail(payloadPath + ": DatabaseSize is negative");
    std::int32_t crc = checksum::computeCrc32({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()});
    checksum::Md5 md5;
    std::string digest = md5.digestFileToHexStr(file);
    // The reader takes one pair of surrounding quotes off: a quoted name gets one more pair.
    std::string storedName = *ansiName;
    if (storedName.size() >= 2 && (storedName.front() == '"' || storedName.front() == '\'') &&
        storedName.back() == storedName.front())
        storedName = "\"" + storedName + "\"";
    std::string section = "Signature" + std::to_string(count + 1);
    std::optional<std::string> edited = text;
    for (auto [key, value] : std::initializer_list<std::pair<const char*, std::string>>{
             {"Name", storedName},
             {"CRC32Checksum", std::to_string(crc)},
             {"MD5Digest", digest},
             {"UseStringDetection", "0"},
             {"StringSignature", ""}}) {
        if (edited) edited = platform::setProfileStringInText(*edited, section, key, value);
    }
    if (edited) edited = platform::setProfileStringInText(*edited, "Main", "DatabaseSize", std::to_string(count + 1));
    if (!edited) return fail("the signature cannot be written into " + payloadPath);

    // Never a payload the program would refuse: it is tried with the program's own loader first.
    std::vector<scan::SignatureEntry> loaded;
    std::string problem = loadProblem(*edited, loaded);
    if (problem.empty() && (loaded.empty() || loaded.back().name != name))
        problem = "the name would read back as \"" + (loaded.empty() ? std::string() : loaded.back().name) + "\"";
    if (!problem.empty()) {
        std::string oneLine;
        for (char c : problem) oneLine.push_back(c == '\r' || c == '\n' ? ' ' : c);
        return fail(payloadPath + " would not load with this signature, so it was left as it was (" + oneLine + ")");
    }
    if (platform::atomicReplaceFile(platform::resolveLinkTarget(payloadPath), *edited) != 0)
        return fail("cannot write " + payloadPath);
    std::cout << section << ": " << name << " CRC32=" << crc << " MD5=" << digest << "\n";
    return cli::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    auto args = cli::argumentsOf(argc, argv);
    if (cli::handleStandardOptions(args, "vksig", kUsage)) return cli::kExitOk;
    if (args.empty()) {
        std::cerr << kUsage;
        return cli::kExitError;
    }
    const std::string& cmd = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (cmd == "build" && rest.size() == 2) return build(rest[0], rest[1]);
    if (cmd == "dump" && rest.size() == 1) return cli::dumpDatabase(rest[0], std::cout, std::cerr);
    if (cmd == "decrypt" && (rest.size() == 1 || rest.size() == 2))
        return decrypt(rest[0], rest.size() == 2 ? rest[1] : std::string());
    if ((cmd == "crc32" || cmd == "md5") && !rest.empty()) return checksums(rest, cmd == "md5");
    if (cmd == "add" && rest.size() == 3) return add(rest[0], rest[1], rest[2]);
    std::cerr << "vksig: wrong command or arguments\n" << kUsage;
    return cli::kExitError;
}
