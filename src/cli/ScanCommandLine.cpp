#include "cli/ScanCommandLine.h"

#include <fstream>
#include <iostream>

#include "platform/VbConversion.h"

namespace vk::cli {
namespace {

bool complain(const std::string& text) {
    std::cerr << "vkscan: " << text << "\n";
    return false;
}

// Paths one a line; a CR before the line end is not part of the path.
bool readPathList(const std::string& file, std::vector<std::string>& paths) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return complain(file + ": cannot be read");
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) paths.push_back(line);
    }
    return true;
}

}  // namespace

bool parseScanCommandLine(const std::vector<std::string>& args, ScanCommandLine& o) {
    bool onlyPaths = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (onlyPaths || a.size() < 2 || a[0] != '-') {
            o.paths.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPaths = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (a.rfind("--", 0) == 0) {
            if (auto eq = a.find('='); eq != std::string::npos) {
                inlineValue = a.substr(eq + 1);
                a.resize(eq);
            }
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) return complain(a + " needs a value");
            out = args[++i];
            return true;
        };
        auto flag = [&] { return inlineValue ? complain(a + " takes no value") : true; };
        std::string v;
        if (a == "--database" || a == "-d") {
            if (!value(o.database)) return false;
        } else if (a == "--action") {
            if (!value(o.action)) return false;
            if (o.action != "ask" && o.action != "heal" && o.action != "delete" && o.action != "rename" &&
                o.action != "report")
                return complain("--action takes ask, heal, delete, rename or report");
        } else if (a == "--move") {
            if (!flag()) return false;
            o.move = true;
        } else if (a == "--max-size" || a == "--max-filesize") {
            if (!value(v)) return false;
            auto n = platform::parseVbNumber(v);
            if (!n || *n < 0 || *n > 2147483647.0 || *n != static_cast<double>(static_cast<std::int64_t>(*n)))
                return complain("--max-size takes a whole number of megabytes");
            o.maxSize = static_cast<std::int32_t>(*n);
        } else if (a == "--all-files" || a == "-r" || a == "--recursive") {
            if (!flag()) return false;  // every file and the whole tree are the default
        } else if (a == "--extensions") {
            if (!value(v)) return false;
            o.extensions = v;
        } else if (a == "--quiet" || a == "-q") {
            if (!flag()) return false;
            o.quiet = true;
        } else if (a == "-i" || a == "--infected") {
            if (!flag()) return false;  // only infected files are ever listed
        } else if (a == "--farwatch") {
            if (!flag()) return false;
            o.farwatch = true;
        } else if (a == "--no-summary") {
            if (!flag()) return false;
            o.noSummary = true;
        } else if (a == "--exclude") {
            if (!value(v)) return false;
            o.exclude.push_back(v);
        } else if (a == "--exclude-dir") {
            if (!value(v)) return false;
            o.excludeDir.push_back(v);
        } else if (a == "-f" || a == "--file-list") {
            if (!value(v) || !readPathList(v, o.paths)) return false;
        } else if (a == "--log" || a == "-l") {
            if (!value(o.logFile)) return false;
        } else if (a == "--quarantine") {
            if (!value(o.quarantineCommand)) return false;
            if (o.quarantineCommand == "restore") {
                if (i + 1 >= args.size()) return complain("--quarantine restore needs an ID");
                o.quarantineId = args[++i];
            } else if (o.quarantineCommand != "list" && o.quarantineCommand != "purge") {
                return complain("--quarantine takes list, restore ID or purge");
            }
        } else {
            return complain("unknown option " + a);
        }
    }
    if (o.quarantineCommand.empty() && o.paths.empty()) return complain("no PATH given");
    return true;
}

}  // namespace vk::cli
