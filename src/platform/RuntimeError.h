#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/base/ErrorInfo.h"

namespace vk::platform {

// A run-time error with the classic error number, description and source, as
// the program reports them ("Error Number: ...", "Error Description: ...").
// Its shape is the script error's: one base::ErrorInfo.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(std::int32_t number, std::string description, std::string source)
        : std::runtime_error(description), info_{number, std::move(description), std::move(source)} {}

    const base::ErrorInfo& info() const { return info_; }
    std::int32_t number() const { return info_.number; }
    const std::string& description() const { return info_.description; }
    const std::string& source() const { return info_.source; }

private:
    base::ErrorInfo info_;
};

// The source text every error raised by the program's own code carries.
inline constexpr const char* kErrorSource = "VandrelKast";

// Classic run-time error numbers and their texts.
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrOutOfMemory = 7;
inline constexpr std::int32_t kErrSubscriptOutOfRange = 9;
inline constexpr std::int32_t kErrTypeMismatch = 13;
inline constexpr std::int32_t kErrBadFileNameOrNumber = 52;
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrInputPastEndOfFile = 62;
inline constexpr std::int32_t kErrPermissionDenied = 70;
inline constexpr std::int32_t kErrPathFileAccess = 75;
inline constexpr std::int32_t kErrInvalidProcedureCall = 5;

inline RuntimeError overflowError() { return {kErrOverflow, "Overflow", kErrorSource}; }
inline RuntimeError typeMismatchError() { return {kErrTypeMismatch, "Type mismatch", kErrorSource}; }
inline RuntimeError inputPastEndError() {
    return {kErrInputPastEndOfFile, "Input past end of file", kErrorSource};
}
inline RuntimeError fileNotFoundError() { return {kErrFileNotFound, "File not found", kErrorSource}; }
inline RuntimeError permissionDeniedError() {
    return {kErrPermissionDenied, "Permission denied", kErrorSource};
}
inline RuntimeError pathFileAccessError() {
    return {kErrPathFileAccess, "Path/File access error", kErrorSource};
}
inline RuntimeError invalidProcedureCallError() {
    return {kErrInvalidProcedureCall, "Invalid procedure call or argument", kErrorSource};
}
inline RuntimeError outOfMemoryError() { return {kErrOutOfMemory, "Out of memory", kErrorSource}; }

}  // namespace vk::platform
