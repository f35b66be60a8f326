// vkinfo: the file information window's fields for files given on the command line.
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/CommandLine.h"
#include "cli/TerminalText.h"
#include "tools/FileDigests.h"
#include "tools/FileSizeText.h"
#include "tools/VersionInfo.h"

using namespace vk;

namespace {

constexpr const char* kUsage =
    "Usage: vkinfo FILE...\n"
    "Prints what the Process Info window shows of each file: name, folder, size,\n"
    "modification time, the version resource of Windows executables, CRC32 and MD5.\n"
    "Files are separated by a blank line. Exit status 0, or 2 when a file cannot be read.\n\n"
    "  --help, --version\n";

std::string localTime(std::time_t t) {
    std::tm tm{};
    if (!::localtime_r(&t, &tm)) return {};
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm) ? text : "";
}

bool describe(const std::string& path, std::ostream& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Read first: a file that cannot be read prints nothing.
    auto digests = tools::computeFileDigests(path);
    if (!digests) return false;
    tools::FileVersionRecord version;
    tools::readVersionInfo(path, version);

    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec) full = path;
    auto line = [&out](const char* label, const std::string& value) {
        out << label << cli::terminalSafe(value) << "\n";
    };
    line("Filename: ", full.filename().string());
    line("Path: ", full.parent_path().string());
    line("File Size: ", tools::fileSizeText(static_cast<std::uint64_t>(st.st_size)));
    line("Date Modified: ", localTime(st.st_mtime));
    line("File Version: ", version.fileVersion);
    line("File Description: ", version.fileDescription);
    line("Legal Copyright: ", version.legalCopyright);
    line("Company Name: ", version.companyName);
    line("Internal Name: ", version.internalName);
    line("Original Filename: ", version.originalFilename);
    line("Product Name: ", version.productName);
    line("Product Version: ", version.productVersion);
    line("CRC32 Checksum: ", std::to_string(digests->crc32));
    line("MD5 Digest: ", digests->md5);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    auto args = cli::argumentsOf(argc, argv);
    if (cli::handleStandardOptions(args, "vkinfo", kUsage)) return cli::kExitOk;
    if (args.empty()) {
        std::cerr << kUsage;
        return cli::kExitError;
    }
    int status = cli::kExitOk;
    bool first = true;
    for (const std::string& file : args) {
        std::ostringstream block;
        if (!describe(file, block)) {
            std::cerr << "vkinfo: cannot read " << cli::terminalSafe(file) << "\n";
            status = cli::kExitError;
            continue;
        }
        if (!first) std::cout << "\n";
        std::cout << block.str() << std::flush;
        first = false;
    }
    return status;
}
