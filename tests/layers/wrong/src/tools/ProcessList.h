#pragma once
// Two includes the layers refuse in tools, between one they allow.
#include <QString>
#include "platform/FileDescriptor.h"
#include "scan/ScanEngine.h"
