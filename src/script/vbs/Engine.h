#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/ErrorInfo.h"
#include "script/vbs/Object.h"
#include "script/vbs/Variant.h"

namespace vk::vbs {

// Outcome of running script text. On failure: the VBScript error number and text, its
// source ("Microsoft VBScript runtime error", "Microsoft VBScript compilation error", or what
// a host object / Err.Raise gave) and the 1-based line and column where it happened.
struct ScriptResult : base::ErrorInfo {
    bool ok = true;
    bool stopped = false;  // ended by requestStop(); number is err::Stopped
    int line = 0;
    int column = 0;
};

// MsgBox and InputBox go through the host. Without one MsgBox returns vbOK (1) and
// InputBox "".
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // buttons: the MsgBox buttons/icon value; returns vbOK (1), vbCancel (2), ... vbNo (7)
    virtual int msgBox(const std::string& prompt, int buttons, const std::string& title) = 0;
    // nullopt when the user cancelled (the script sees "")
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;
};

using ObjectFactory = std::function<Ref<Object>()>;

class Interpreter;

// A VBScript engine. Its global state (variables, procedures, classes) survives between
// executeStatement calls; it is never reset. Not thread-safe except requestStop().
class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Makes an object visible to scripts under a name. With membersGlobal its members can
    // also be called without the prefix (the object's hasMember decides which names).
    void addObject(const std::string& name, Ref<Object> object, bool membersGlobal = false);
    // CreateObject(progId) calls the factory; a null result or an unknown ProgID is error 429.
    // Scripting.Dictionary and VBScript.RegExp are built in.
    void registerProgId(const std::string& progId, ObjectFactory factory);

    // Compiles and runs script text (UTF-8). A syntax error anywhere stops it before it runs.
    ScriptResult executeStatement(const std::string& text);
    // Evaluates one expression in the global scope.
    ScriptResult eval(const std::string& expression, Variant& result);
    // Calls a global Sub or Function by name; arguments are passed by reference.
    ScriptResult call(const std::string& name, std::vector<Variant>& args, Variant& result);
    // Reads a global variable; false when there is none.
    bool global(const std::string& name, Variant& value) const;

    // Thread-safe: the running script ends at its next statement with a result whose
    // stopped is true. The request is cleared when the next run starts.
    void requestStop();
    void setDialogs(Dialogs* dialogs);
    // Called every `everyStatements` statements while a script runs (keeps a window alive).
    void setPump(std::function<void()> pump, unsigned everyStatements = 1000);

private:
    std::unique_ptr<Interpreter> impl_;
};

}  // namespace vk::vbs
