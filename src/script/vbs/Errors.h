#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "platform/base/ErrorInfo.h"

namespace vk::vbs {

// VBScript's error numbers, each named once; the texts are in Errors.cpp.
namespace err {
// run time
constexpr int32_t InvalidCall = 5;
constexpr int32_t Overflow = 6;
constexpr int32_t OutOfMemory = 7;
constexpr int32_t SubscriptRange = 9;
constexpr int32_t ArrayLocked = 10;
constexpr int32_t DivByZero = 11;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t OutOfStringSpace = 14;
constexpr int32_t CantPerformOperation = 17;
constexpr int32_t OutOfStack = 28;
constexpr int32_t SubNotDefined = 35;
constexpr int32_t DllLoadError = 48;
constexpr int32_t InternalError = 51;
constexpr int32_t BadFileNameOrNumber = 52;
constexpr int32_t FileNotFound = 53;
constexpr int32_t BadFileMode = 54;
constexpr int32_t FileAlreadyOpen = 55;
constexpr int32_t DeviceIoError = 57;
constexpr int32_t FileAlreadyExists = 58;
constexpr int32_t DiskFull = 61;
constexpr int32_t InputPastEndOfFile = 62;
constexpr int32_t TooManyFiles = 67;
constexpr int32_t DeviceUnavailable = 68;
constexpr int32_t PermissionDenied = 70;
constexpr int32_t DiskNotReady = 71;
constexpr int32_t RenameAcrossDrives = 74;
constexpr int32_t PathFileAccess = 75;
constexpr int32_t PathNotFound = 76;
constexpr int32_t ObjectNotSet = 91;
constexpr int32_t ForLoopNotInitialized = 92;
constexpr int32_t InvalidNull = 94;
constexpr int32_t CantCreateTempFile = 322;
constexpr int32_t ObjectRequired = 424;
constexpr int32_t CantCreateObject = 429;
constexpr int32_t NoAutomation = 430;
constexpr int32_t AutomationNameNotFound = 432;
constexpr int32_t NoSuchMember = 438;
constexpr int32_t AutomationError = 440;
constexpr int32_t ActionNotSupported = 445;
constexpr int32_t NoNamedArguments = 446;
constexpr int32_t LocaleNotSupported = 447;
constexpr int32_t NamedArgNotFound = 448;
constexpr int32_t ArgNotOptional = 449;
constexpr int32_t WrongArgs = 450;
constexpr int32_t NotCollection = 451;
constexpr int32_t DllFunctionNotFound = 453;
constexpr int32_t CodeResourceLock = 455;
constexpr int32_t KeyExists = 457;
constexpr int32_t UnsupportedType = 458;
constexpr int32_t ServerUnavailable = 462;
constexpr int32_t InvalidPicture = 481;
constexpr int32_t Undefined = 500;
constexpr int32_t IllegalAssignmentRuntime = 501;
constexpr int32_t NotSafeForScripting = 502;
constexpr int32_t NotSafeForInitializing = 503;
constexpr int32_t NotSafeForCreating = 504;
constexpr int32_t InvalidReference = 505;
constexpr int32_t ClassNotDefined = 506;
constexpr int32_t ExceptionOccurred = 507;
constexpr int32_t IllegalAssignment = 5008;
constexpr int32_t RegExpExpected = 5016;
constexpr int32_t RegExpSyntax = 5017;
constexpr int32_t UnexpectedQuantifier = 5018;
constexpr int32_t ExpectedBracketInRegExp = 5019;
constexpr int32_t ExpectedParenInRegExp = 5020;
constexpr int32_t InvalidRangeInCharSet = 5021;
constexpr int32_t ElementNotFound = 32811;
constexpr int32_t DateNotInCalendar = 32812;
// compilation
constexpr int32_t CompileOutOfMemory = 1001;
constexpr int32_t SyntaxError = 1002;
constexpr int32_t ExpectedColon = 1003;
constexpr int32_t ExpectedLParen = 1005;
constexpr int32_t ExpectedRParen = 1006;
constexpr int32_t ExpectedRBracket = 1007;
constexpr int32_t ExpectedIdentifier = 1010;
constexpr int32_t ExpectedEquals = 1011;
constexpr int32_t ExpectedIf = 1012;
constexpr int32_t ExpectedTo = 1013;
constexpr int32_t ExpectedEnd = 1014;
constexpr int32_t ExpectedFunction = 1015;
constexpr int32_t ExpectedSub = 1016;
constexpr int32_t ExpectedThen = 1017;
constexpr int32_t ExpectedWend = 1018;
constexpr int32_t ExpectedLoop = 1019;
constexpr int32_t ExpectedNext = 1020;
constexpr int32_t ExpectedCase = 1021;
constexpr int32_t ExpectedSelect = 1022;
constexpr int32_t ExpectedExpression = 1023;
constexpr int32_t ExpectedStatement = 1024;
constexpr int32_t ExpectedEndOfStatement = 1025;
constexpr int32_t ExpectedIntegerConstant = 1026;
constexpr int32_t ExpectedWhileOrUntil = 1027;
constexpr int32_t ExpectedWhileUntilOrEnd = 1028;
constexpr int32_t ExpectedWith = 1029;
constexpr int32_t IdentifierTooLong = 1030;
constexpr int32_t InvalidNumber = 1031;
constexpr int32_t InvalidCharacter = 1032;
constexpr int32_t UnterminatedString = 1033;
constexpr int32_t UnterminatedComment = 1034;
constexpr int32_t InvalidMe = 1037;
constexpr int32_t LoopWithoutDo = 1038;
constexpr int32_t InvalidExit = 1039;
constexpr int32_t InvalidForVariable = 1040;
constexpr int32_t NameRedefined = 1041;
constexpr int32_t MustBeFirstStatement = 1042;
constexpr int32_t AssignToNonByValArgument = 1043;
constexpr int32_t ParensCallingSub = 1044;
constexpr int32_t ExpectedLiteralConstant = 1045;
constexpr int32_t ExpectedIn = 1046;
constexpr int32_t ExpectedClass = 1047;
constexpr int32_t MustBeInsideClass = 1048;
constexpr int32_t ExpectedLetSetGet = 1049;
constexpr int32_t ExpectedProperty = 1050;
constexpr int32_t InconsistentPropertyArgs = 1051;
constexpr int32_t MultipleDefaults = 1052;
constexpr int32_t ClassEventArguments = 1053;
constexpr int32_t PropertyNeedsArgument = 1054;
constexpr int32_t UnexpectedNext = 1055;
constexpr int32_t DefaultOnlyOnProcedures = 1056;
constexpr int32_t DefaultMustBePublic = 1057;
constexpr int32_t DefaultOnlyOnPropertyGet = 1058;
// The host's stop request (E_ABORT); never caught by On Error Resume Next.
constexpr int32_t Stopped = static_cast<int32_t>(0x80004004u);
}  // namespace err

constexpr const char* kRuntimeSource = "Microsoft VBScript runtime error";
constexpr const char* kCompileSource = "Microsoft VBScript compilation error";

// The standard text of a VBScript error number, or "" if it has none.
const char* errorText(int32_t number);

// The VBScript number of an HRESULT: those of VBScript's facility carry it in their low word,
// the common COM and Win32 failures have a fixed one; anything else stays as it is.
int32_t errorFromHresult(int32_t hresult);

// A run-time error. Host objects throw it to raise a script error; an empty description
// or source is filled in with the standard text and "Microsoft VBScript runtime error".
class ScriptError : public std::exception, public base::ErrorInfo {
public:
    explicit ScriptError(int32_t number, std::string description = {}, std::string source = {});
    const char* what() const noexcept override { return description.c_str(); }

    std::string helpFile;
    int32_t helpContext = 0;
};

// A compilation (syntax) error with its position; 1-based line and column.
class SyntaxError : public std::exception, public base::ErrorInfo {
public:
    SyntaxError(int32_t number, int line, int column);
    const char* what() const noexcept override { return description.c_str(); }

    int line;
    int column;
};

[[noreturn]] void raise(int32_t number);

}  // namespace vk::vbs
