#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace vk::tools {

class ProcessList;

inline constexpr const char* kLogSeparator = "========================================";

// The snapshot's lines are joined with CR LF.
void appendLogLine(std::string& log, const std::string& line);

// The system snapshot: version and date, the executables of a fresh refresh of
// processes, the startup entries, the critical registry values and the
// desktop's autostart entries. now gives the date (in the C library's current
// LC_TIME short format).
std::string takeSystemSnapshot(ProcessList& processes, std::time_t now);

// The name Save Log writes: ".txt" added unless the name already ends in it.
std::string logFileName(const std::string& chosen);

// Writes the log followed by CR LF (atomically). "" on success, else the reason.
std::string saveLog(const std::string& path, const std::string& log);

}  // namespace vk::tools
