#pragma once

#include <string>

namespace vk::platform {

// Where the program finds config.ini, signatures.dat and killers/.
struct ProgramFolder {
    std::string folder;         // the folder the database lives in
    std::string configIni;
    std::string signaturesDat;
    std::string killers;
};

// $VANDRELKAST_HOME if set; else the executable's folder when it holds
// signatures.dat (portable and build-tree use); else the installed layout
// ($XDG_CONFIG_HOME/vandrelkast/config.ini, the data folder of the
// installation, <prefix>/share/vandrelkast by default).
ProgramFolder programFolder();

// The folder of the running executable.
std::string executableFolder();

}  // namespace vk::platform
