#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vk::cli {

// vkscan's options, with ClamAV's conventions: --opt=value or --opt value,
// report by default, every file and no size limit unless asked.
struct ScanCommandLine {
    std::string database;
    std::string action = "report";  // ask, heal, delete, rename or report
    bool move = false;              // into the quarantine
    std::optional<std::int32_t> maxSize;  // MB
    std::optional<std::string> extensions;
    bool quiet = false;      // detections only, no summary
    bool noSummary = false;
    std::vector<std::string> exclude;     // regular expressions on file paths
    std::vector<std::string> excludeDir;  // on folder paths
    std::string logFile;
    bool farwatch = false;  // mail the Farwatch report afterwards
    std::vector<std::string> paths;
    // --quarantine list | restore ID | purge
    std::string quarantineCommand;
    std::string quarantineId;
};

// False after printing why to stderr.
bool parseScanCommandLine(const std::vector<std::string>& args, ScanCommandLine& out);

}  // namespace vk::cli
