#include "script/vbs/Errors.h"

namespace vk::vbs {

namespace {
struct ErrorEntry {
    int32_t number;
    const char* text;
};

const ErrorEntry kErrors[] = {
    {err::InvalidCall, "Invalid procedure call or argument"},
    {err::Overflow, "Overflow"},
    {err::OutOfMemory, "Out of memory"},
    {err::SubscriptRange, "Subscript out of range"},
    {err::ArrayLocked, "This array is fixed or temporarily locked"},
    {err::DivByZero, "Division by zero"},
    {err::TypeMismatch, "Type mismatch"},
    {err::OutOfStringSpace, "Out of string space"},
    {err::CantPerformOperation, "Can't perform requested operation"},
    {err::OutOfStack, "Out of stack space"},
    {err::SubNotDefined, "Sub or Function not defined"},
    {err::DllLoadError, "Error in loading DLL"},
    {err::InternalError, "Internal error"},
    {err::BadFileNameOrNumber, "Bad file name or number"},
    {err::FileNotFound, "File not found"},
    {err::BadFileMode, "Bad file mode"},
    {err::FileAlreadyOpen, "File already open"},
    {err::DeviceIoError, "Device I/O error"},
    {err::FileAlreadyExists, "File already exists"},
    {err::DiskFull, "Disk full"},
    {err::InputPastEndOfFile, "Input past end of file"},
    {err::TooManyFiles, "Too many files"},
    {err::DeviceUnavailable, "Device unavailable"},
    {err::PermissionDenied, "Permission denied"},
    {err::DiskNotReady, "Disk not ready"},
    {err::RenameAcrossDrives, "Can't rename with different drive"},
    {err::PathFileAccess, "Path/File access error"},
    {err::PathNotFound, "Path not found"},
    {err::ObjectNotSet, "Object variable not set"},
    {err::ForLoopNotInitialized, "For loop not initialized"},
    {err::InvalidNull, "Invalid use of Null"},
    {err::CantCreateTempFile, "Can't create necessary temporary file"},
    {err::ObjectRequired, "Object required"},
    {err::CantCreateObject, "ActiveX component can't create object"},
    {err::NoAutomation, "Class doesn't support Automation"},
    {err::AutomationNameNotFound, "File name or class name not found during Automation operation"},
    {err::NoSuchMember, "Object doesn't support this property or method"},
    {err::AutomationError, "Automation error"},
    {err::ActionNotSupported, "Object doesn't support this action"},
    {err::NoNamedArguments, "Object doesn't support named arguments"},
    {err::LocaleNotSupported, "Object doesn't support current locale setting"},
    {err::NamedArgNotFound, "Named argument not found"},
    {err::ArgNotOptional, "Argument not optional"},
    {err::WrongArgs, "Wrong number of arguments or invalid property assignment"},
    {err::NotCollection, "Object not a collection"},
    {err::DllFunctionNotFound, "Specified DLL function not found"},
    {err::CodeResourceLock, "Code resource lock error"},
    {err::KeyExists, "This key is already associated with an element of this collection"},
    {err::UnsupportedType, "Variable uses an Automation type not supported in VBScript"},
    {err::ServerUnavailable, "The remote server machine does not exist or is unavailable"},
    {err::InvalidPicture, "Invalid picture"},
    {err::Undefined, "Variable is undefined"},
    {err::IllegalAssignmentRuntime, "Illegal assignment"},
    {err::NotSafeForScripting, "Object not safe for scripting"},
    {err::NotSafeForInitializing, "Object not safe for initializing"},
    {err::NotSafeForCreating, "Object not safe for creating"},
    {err::InvalidReference, "Invalid or unqualified reference"},
    {err::ClassNotDefined, "Class not defined"},
    {err::ExceptionOccurred, "An exception occurred"},
    {err::IllegalAssignment, "Illegal assignment"},
    {err::RegExpExpected, "Regular Expression object expected"},
    {err::RegExpSyntax, "Syntax error in regular expression"},
    {err::UnexpectedQuantifier, "Unexpected quantifier"},
    {err::ExpectedBracketInRegExp, "Expected ']' in regular expression"},
    {err::ExpectedParenInRegExp, "Expected ')' in regular expression"},
    {err::InvalidRangeInCharSet, "Invalid range in character set"},
    {err::ElementNotFound, "Element not found"},
    {err::DateNotInCalendar, "The specified date is not available in the current locale's calendar"},
    // compilation errors
    {err::CompileOutOfMemory, "Out of memory"},
    {err::SyntaxError, "Syntax error"},
    {err::ExpectedColon, "Expected ':'"},
    {err::ExpectedLParen, "Expected '('"},
    {err::ExpectedRParen, "Expected ')'"},
    {err::ExpectedRBracket, "Expected ']'"},
    {err::ExpectedIdentifier, "Expected identifier"},
    {err::ExpectedEquals, "Expected '='"},
    {err::ExpectedIf, "Expected 'If'"},
    {err::ExpectedTo, "Expected 'To'"},
    {err::ExpectedEnd, "Expected 'End'"},
    {err::ExpectedFunction, "Expected 'Function'"},
    {err::ExpectedSub, "Expected 'Sub'"},
    {err::ExpectedThen, "Expected 'Then'"},
    {err::ExpectedWend, "Expected 'Wend'"},
    {err::ExpectedLoop, "Expected 'Loop'"},
    {err::ExpectedNext, "Expected 'Next'"},
    {err::ExpectedCase, "Expected 'Case'"},
    {err::ExpectedSelect, "Expected 'Select'"},
    {err::ExpectedExpression, "Expected expression"},
    {err::ExpectedStatement, "Expected statement"},
    {err::ExpectedEndOfStatement, "Expected end of statement"},
    {err::ExpectedIntegerConstant, "Expected integer constant"},
    {err::ExpectedWhileOrUntil, "Expected 'While' or 'Until'"},
    {err::ExpectedWhileUntilOrEnd, "Expected 'While', 'Until' or end of statement"},
    {err::ExpectedWith, "Expected 'With'"},
    {err::IdentifierTooLong, "Identifier too long"},
    {err::InvalidNumber, "Invalid number"},
    {err::InvalidCharacter, "Invalid character"},
    {err::UnterminatedString, "Unterminated string constant"},
    {err::UnterminatedComment, "Unterminated comment"},
    {err::InvalidMe, "Invalid use of 'Me' keyword"},
    {err::LoopWithoutDo, "'loop' without 'do'"},
    {err::InvalidExit, "Invalid 'exit' statement"},
    {err::InvalidForVariable, "Invalid 'for' loop control variable"},
    {err::NameRedefined, "Name redefined"},
    {err::MustBeFirstStatement, "Must be first statement on the line"},
    {err::AssignToNonByValArgument, "Cannot assign to non-ByVal argument"},
    {err::ParensCallingSub, "Cannot use parentheses when calling a Sub"},
    {err::ExpectedLiteralConstant, "Expected literal constant"},
    {err::ExpectedIn, "Expected 'In'"},
    {err::ExpectedClass, "Expected 'Class'"},
    {err::MustBeInsideClass, "Must be defined inside a Class"},
    {err::ExpectedLetSetGet, "Expected Let or Set or Get in property declaration"},
    {err::ExpectedProperty, "Expected 'Property'"},
    {err::InconsistentPropertyArgs, "Number of arguments must be consistent across property procedures"},
    {err::MultipleDefaults, "Cannot have multiple default property/method in a Class"},
    {err::ClassEventArguments, "Class initialize or terminate do not have arguments"},
    {err::PropertyNeedsArgument, "Property set or let must have at least one argument"},
    {err::UnexpectedNext, "Unexpected 'Next'"},
    {err::DefaultOnlyOnProcedures, "'Default' can be specified only on 'Property' or 'Function' or 'Sub'"},
    {err::DefaultMustBePublic, "'Default' must also be 'Public'"},
    {err::DefaultOnlyOnPropertyGet, "'Default' can only be on Property Get"},
};

struct HresultEntry {
    uint32_t hresult;
    int32_t number;
};

const HresultEntry kHresults[] = {
    {0x80004001, err::ActionNotSupported},      // E_NOTIMPL
    {0x80004002, err::NoAutomation},            // E_NOINTERFACE
    {0x80020001, err::NoSuchMember},            // DISP_E_UNKNOWNINTERFACE
    {0x80020003, err::NoSuchMember},            // DISP_E_MEMBERNOTFOUND
    {0x80020004, err::NamedArgNotFound},        // DISP_E_PARAMNOTFOUND
    {0x80020005, err::TypeMismatch},            // DISP_E_TYPEMISMATCH
    {0x80020006, err::NoSuchMember},            // DISP_E_UNKNOWNNAME
    {0x80020007, err::NoNamedArguments},        // DISP_E_NONAMEDARGS
    {0x80020008, err::UnsupportedType},         // DISP_E_BADVARTYPE
    {0x8002000A, err::Overflow},                // DISP_E_OVERFLOW
    {0x8002000B, err::SubscriptRange},          // DISP_E_BADINDEX
    {0x8002000C, err::LocaleNotSupported},      // DISP_E_UNKNOWNLCID
    {0x8002000D, err::ArrayLocked},             // DISP_E_ARRAYISLOCKED
    {0x8002000E, err::WrongArgs},               // DISP_E_BADPARAMCOUNT
    {0x8002000F, err::ArgNotOptional},          // DISP_E_PARAMNOTOPTIONAL
    {0x80020011, err::NotCollection},           // DISP_E_NOTACOLLECTION
    {0x8002802F, err::DllFunctionNotFound},     // TYPE_E_DLLFUNCTIONNOTFOUND
    {0x80028CA0, err::TypeMismatch},            // TYPE_E_TYPEMISMATCH
    {0x80028CA1, err::SubscriptRange},          // TYPE_E_OUTOFBOUNDS
    {0x80028CA2, err::DeviceIoError},           // TYPE_E_IOERROR
    {0x80028CA3, err::CantCreateTempFile},      // TYPE_E_CANTCREATETMPFILE
    {0x80030002, err::AutomationNameNotFound},  // STG_E_FILENOTFOUND
    {0x80030003, err::PathNotFound},            // STG_E_PATHNOTFOUND
    {0x80030004, err::TooManyFiles},            // STG_E_TOOMANYOPENFILES
    {0x80030005, err::PermissionDenied},        // STG_E_ACCESSDENIED
    {0x80030008, err::OutOfMemory},             // STG_E_INSUFFICIENTMEMORY
    {0x80030012, err::TooManyFiles},            // STG_E_NOMOREFILES
    {0x80030013, err::PermissionDenied},        // STG_E_DISKISWRITEPROTECTED
    {0x8003001D, err::DeviceIoError},           // STG_E_WRITEFAULT
    {0x8003001E, err::DeviceIoError},           // STG_E_READFAULT
    {0x80030020, err::PathFileAccess},          // STG_E_SHAREVIOLATION
    {0x80030021, err::PermissionDenied},        // STG_E_LOCKVIOLATION
    {0x80030050, err::FileAlreadyExists},       // STG_E_FILEALREADYEXISTS
    {0x80030070, err::DiskFull},                // STG_E_MEDIUMFULL
    {0x800300FC, err::FileNotFound},            // STG_E_INVALIDNAME
    {0x80030100, err::PermissionDenied},        // STG_E_INUSE
    {0x80030101, err::PermissionDenied},        // STG_E_NOTCURRENT
    {0x80030103, err::DeviceIoError},           // STG_E_CANTSAVE
    {0x80040154, err::CantCreateObject},        // REGDB_E_CLASSNOTREG
    {0x800401E3, err::CantCreateObject},        // MK_E_UNAVAILABLE
    {0x800401E6, err::AutomationNameNotFound},  // MK_E_INVALIDEXTENSION
    {0x800401EA, err::AutomationNameNotFound},  // MK_E_CANTOPENFILE
    {0x800401F3, err::CantCreateObject},        // CO_E_CLASSSTRING
    {0x800401F5, err::CantCreateObject},        // CO_E_APPNOTFOUND
    {0x800401FE, err::CantCreateObject},        // CO_E_APPDIDNTREG
    {0x80070005, err::PermissionDenied},        // E_ACCESSDENIED
    {0x8007000E, err::OutOfMemory},             // E_OUTOFMEMORY
    {0x80070057, err::InvalidCall},             // E_INVALIDARG
    {0x800706BA, err::ServerUnavailable},       // RPC_S_SERVER_UNAVAILABLE
    {0x80080005, err::CantCreateObject},        // CO_E_SERVER_EXEC_FAILURE
};
}  // namespace

int32_t errorFromHresult(int32_t hresult) {
    uint32_t h = static_cast<uint32_t>(hresult);
    if ((h & 0xFFFF0000u) == 0x800A0000u) return static_cast<int32_t>(h & 0xFFFFu);
    for (const auto& e : kHresults)
        if (e.hresult == h) return e.number;
    return hresult;
}

const char* errorText(int32_t number) {
    for (const auto& e : kErrors)
        if (e.number == number) return e.text;
    return "";
}

ScriptError::ScriptError(int32_t n, std::string d, std::string s) : base::ErrorInfo{n, std::move(d), std::move(s)} {
    if (description.empty()) {
        description = errorText(number);
        if (description.empty()) description = "Unknown runtime error";
    }
    if (source.empty()) source = kRuntimeSource;
}

SyntaxError::SyntaxError(int32_t n, int l, int c)
    : base::ErrorInfo{n, errorText(n), kCompileSource}, line(l), column(c) {}

void raise(int32_t number) { throw ScriptError(number); }

}  // namespace vk::vbs
