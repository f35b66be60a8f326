#pragma once

#include <ostream>
#include <string>

namespace vk::scan {
class ScanEngine;
}

namespace vk::cli {

// Sends the Farwatch report of the engine's last scan when the user has
// enrolled and reporting is on ([Farwatch] of configIni), writing the mail
// client's status lines and the outcome to err. True when a report went out.
bool sendFarwatchReport(scan::ScanEngine& engine, const std::string& configIni, std::ostream& err);

}  // namespace vk::cli
