#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk::platform {

// Where the drive letters of Windows paths lead.
class DriveLetterMap {
public:
    virtual ~DriveLetterMap() = default;
    // The folder that is the root of the drive with this letter ('A'..'Z'),
    // nullopt when no drive has it.
    virtual std::optional<std::string> rootOf(char letter) const = 0;
};

// The local system: the letters the drive list of FileSystem gives (mounted
// file systems have none, so there a drive letter names nothing).
const DriveLetterMap& localDriveLetters();

// The map of the target the process works on; localDriveLetters() unless a
// target set its own (nullptr restores the local one).
const DriveLetterMap& currentDriveLetters();
void setDriveLetterMap(const DriveLetterMap* map);

// One name looked up in a folder as Windows does on a case-sensitive file
// system: the exact name wins; else the one name that differs only in case.
struct NameMatch {
    enum class Kind { Exact, OtherCase, Missing, Ambiguous };
    Kind kind = Kind::Missing;
    std::string name;                     // the name on disk (Exact, OtherCase)
    std::vector<std::string> candidates;  // Ambiguous: every name that matches, in byte order
};
NameMatch lookupName(int dirFd, std::string_view name);

struct ResolvedPath {
    enum class Kind {
        Found,      // path names what exists
        Missing,    // nothing there; path is where it would be
        NoDrive,    // a drive letter that names no drive; path is ""
        Ambiguous,  // a component matches several names differing only in case
    };
    Kind kind = Kind::Missing;
    std::string path;
    std::string ambiguousFolder;          // Ambiguous: the folder holding the candidates
    std::vector<std::string> candidates;  // Ambiguous: their names
};

// A path as a script writes it: '\' and '/' separate, "X:" leads through the
// drive map (never to a folder "X:" of the working folder), and a name that
// does not exist as written is looked up component by component without
// regard to case (lookupName). Other paths are taken as the system's own.
ResolvedPath resolveWindowsPath(std::string_view scriptPath, const DriveLetterMap& drives = currentDriveLetters());

// The candidates joined with ", " for console lines.
std::string joinCandidates(const std::vector<std::string>& names);

}  // namespace vk::platform
