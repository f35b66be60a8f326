#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace vk::vbs {

// VBScript's own error numbers.
namespace err {
constexpr int32_t InvalidCall = 5;
constexpr int32_t Overflow = 6;
constexpr int32_t OutOfMemory = 7;
constexpr int32_t SubscriptRange = 9;
constexpr int32_t ArrayLocked = 10;
constexpr int32_t DivByZero = 11;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t OutOfStringSpace = 14;
constexpr int32_t OutOfStack = 28;
constexpr int32_t SubNotDefined = 35;
constexpr int32_t ObjectNotSet = 91;
constexpr int32_t InvalidNull = 94;
constexpr int32_t ObjectRequired = 424;
constexpr int32_t CantCreateObject = 429;
constexpr int32_t NoSuchMember = 438;
constexpr int32_t ArgNotOptional = 449;
constexpr int32_t WrongArgs = 450;
constexpr int32_t NotCollection = 451;
constexpr int32_t KeyExists = 457;
constexpr int32_t Undefined = 500;
constexpr int32_t ClassNotDefined = 506;
constexpr int32_t IllegalAssignment = 5008;
constexpr int32_t RegExpSyntax = 5017;
constexpr int32_t ElementNotFound = 32811;
// Compilation errors
constexpr int32_t SyntaxError = 1002;
constexpr int32_t ExpectedStatement = 1024;
constexpr int32_t ExpectedEndOfStatement = 1025;
// The host's stop request (E_ABORT); never caught by On Error Resume Next.
constexpr int32_t Stopped = static_cast<int32_t>(0x80004004u);
}  // namespace err

constexpr const char* kRuntimeSource = "Microsoft VBScript runtime error";
constexpr const char* kCompileSource = "Microsoft VBScript compilation error";

// The standard text of a VBScript error number, or "" if it has none.
const char* errorText(int32_t number);

// A run-time error. Host objects throw it to raise a script error; an empty description
// or source is filled in with the standard text and "Microsoft VBScript runtime error".
class ScriptError : public std::exception {
public:
    explicit ScriptError(int32_t number, std::string description = {}, std::string source = {});
    const char* what() const noexcept override { return description.c_str(); }

    int32_t number;
    std::string description;
    std::string source;
    std::string helpFile;
    int32_t helpContext = 0;
};

// A compilation (syntax) error with its position; 1-based line and column.
class SyntaxError : public std::exception {
public:
    SyntaxError(int32_t number, int line, int column);
    const char* what() const noexcept override { return description.c_str(); }

    int32_t number;
    std::string description;
    int line;
    int column;
};

[[noreturn]] void raise(int32_t number);

}  // namespace vk::vbs
