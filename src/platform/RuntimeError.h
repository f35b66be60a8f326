#pragma once

#include <stdexcept>
#include <string>

namespace vk::platform {

// A run-time error with the classic error number, description and source, as
// the program reports them ("Error Number: ...", "Error Description: ...").
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(long number, std::string description, std::string source)
        : std::runtime_error(description), number_(number),
          description_(std::move(description)), source_(std::move(source)) {}

    long number() const { return number_; }
    const std::string& description() const { return description_; }
    const std::string& source() const { return source_; }

private:
    long number_;
    std::string description_;
    std::string source_;
};

// The source text every error raised by the program's own code carries.
inline constexpr const char* kErrorSource = "VandrelKast";

// Classic run-time error numbers and their texts.
inline constexpr long kErrOverflow = 6;
inline constexpr long kErrOutOfMemory = 7;
inline constexpr long kErrSubscriptOutOfRange = 9;
inline constexpr long kErrTypeMismatch = 13;
inline constexpr long kErrBadFileNameOrNumber = 52;
inline constexpr long kErrFileNotFound = 53;
inline constexpr long kErrInputPastEndOfFile = 62;
inline constexpr long kErrPermissionDenied = 70;
inline constexpr long kErrPathFileAccess = 75;
inline constexpr long kErrInvalidProcedureCall = 5;

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
