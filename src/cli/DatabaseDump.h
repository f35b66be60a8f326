#pragma once

#include <ostream>
#include <string>

#include "scan/DatabaseFile.h"

namespace vk::cli {

// Loads a database through the scan engine and lists its Main values and
// signatures; the engine's errors go to err as "Error #N: text". Returns
// the exit status (2 when the load failed).
int dumpDatabase(const std::string& path, std::ostream& out, std::ostream& err);

// Printable form of a byte string: printable ASCII as is, the rest as \xNN.
std::string escapeBytes(const std::string& bytes);

std::string envelopeProblem(scan::DatabaseEnvelope::Status status);

}  // namespace vk::cli
