#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "script/vbs/Ast.h"
#include "script/vbs/Builtins.h"
#include "script/vbs/Engine.h"
#include "script/vbs/Object.h"
#include "script/vbs/StdObjects.h"

namespace vk::vbs {

class Interpreter;

constexpr int kMaxCallDepth = 4000;
constexpr int kMaxTerminateChain = 2000;

// Thrown for the host's stop request; not a script error, so On Error cannot catch it.
struct StopRequest {};

// One activation: global code, a procedure call, or Execute text run in a procedure's scope.
struct Frame {
    ProcDef* proc = nullptr;
    Variant** vars = nullptr;       // slot -> storage (ByRef parameters point at the caller's)
    class ClassInstance* me = nullptr;
    bool resumeNext = false;
    bool optionExplicit = false;
    std::vector<Variant> with;      // With targets, innermost last
    // Variables created by Execute inside a procedure
    std::unordered_map<std::u16string, std::unique_ptr<Variant>>* extras = nullptr;
    std::unique_ptr<std::unordered_map<std::u16string, std::unique_ptr<Variant>>> ownExtras;
};

class ClassInstance : public Collectable {
public:
    void breakCycles() override;
    ClassInstance(Interpreter* interp, ClassDef* def);
    std::string typeName() const override { return name_; }
    Variant invoke(std::string_view name, InvokeKind kind, CallArgs args) override;
    bool hasMember(std::string_view name) const override;
    ClassDef* def() const { return def_; }

    std::vector<Variant> fields;

protected:
    void finalRelease() noexcept override;

private:
    friend class Interpreter;
    std::shared_ptr<Interpreter*> interp_;
    ClassDef* def_;
    std::string name_;
    bool terminated_ = false;
    int terminateChain_ = 0;  // how many Class_Terminate runs led to this object's creation
};

enum class Flow { Normal, ExitFor, ExitDo, ExitProc };

struct ErrState {
    int32_t number = 0;
    std::u16string description, source, helpFile;
    int32_t helpContext = 0;
    void clear() { *this = ErrState(); }
};

class Interpreter {
public:
    Interpreter();
    ~Interpreter();

    // host API (Engine forwards here)
    void addObject(const std::string& name, Ref<Object> obj, bool membersGlobal);
    void registerProgId(const std::string& progId, ObjectFactory factory);
    ScriptResult executeStatement(const std::string& text);
    ScriptResult evaluate(const std::string& text, Variant& result);
    ScriptResult callProcedure(const std::string& name, std::vector<Variant>& args, Variant& result);
    bool getGlobal(const std::string& name, Variant& out) const;
    std::atomic<bool> stopFlag{false};
    Dialogs* dialogs = nullptr;
    std::function<void()> pump;
    unsigned pumpInterval = 1000;

    // used by the library
    ErrState err;
    Ref<Object> errObject;
    Ref<Object> createObject(const std::u16string& progId);
    void execute(const std::u16string& code, Frame& f, bool global);
    Variant eval(const std::u16string& code, Frame& f);
    Ref<Object> getRef(const std::u16string& name);
    Variant callProc(ProcDef* proc, ClassInstance* me, Variant* const* args, size_t n);
    uint32_t rndSeed = 0x50000;
    float lastRnd = static_cast<float>(0x50000) / 16777216.0f;  // what Rnd(0) gives before any Rnd
    bool rndStarted = false;

    // used by class instances
    Variant invokeMember(ClassInstance* inst, std::u16string_view lower, InvokeKind kind, Variant* const* args,
                         size_t n, bool inside);
    void runTerminate(ClassInstance* inst) noexcept;
    std::shared_ptr<Interpreter*> self;
    std::shared_ptr<CycleRegistry> cycles = std::make_shared<CycleRegistry>();

private:
    friend struct ArgBuilder;
    // compile
    void resolveProgram(Program& p, Frame* scope, bool globalScope);
    void registerDefinitions(Program& p);
    std::unique_ptr<Program> compile(const std::u16string& code, Frame* scope, bool globalScope);
    int globalSlot(const std::u16string& lower, bool create);
    Variant* globalPtr(int slot);

    // run
    ScriptResult runTop(const std::function<void()>& body);
    Flow execBlock(const Block& b, Frame& f);
    Flow exec(const Stmt* s, Frame& f);
    Flow execFor(const ForStmt* s, Frame& f);
    Flow execForEach(const ForEachStmt* s, Frame& f);
    Flow execDo(const DoStmt* s, Frame& f);
    Flow execSelect(const SelectStmt* s, Frame& f);
    bool caseMatches(const Variant& subject, const CaseClause& c, Frame& f);
    Flow runOnceThenFail(const Block& body, Frame& f, int32_t nextError);
    template <class F>
    bool guarded(Frame& f, F&& part);
    enum class Test { False, True, Failed };
    Test test(const Expr* cond, Frame& f);
    void execDim(const DimStmt* s, Frame& f);
    void execReDim(const ReDimStmt* s, Frame& f);
    void execErase(const EraseStmt* s, Frame& f);
    void execAssign(const AssignStmt* s, Frame& f);
    void execMidAssign(const MidAssignStmt* s, Frame& f);
    void checkpoint();
    void raisePending();  // an error recorded where it could not be thrown
    void checkStack();
    void setError(const ScriptError& e);

    Variant eval(const Expr* e, Frame& f);
    Variant evalBinary(const BinaryExpr* b, Frame& f);
    Variant evalCall(const CallExpr* c, Frame& f, bool statement);
    Variant evalMember(const MemberExpr* m, Frame& f, InvokeKind kind, Variant* const* args, size_t n);
    Variant evalIdent(const IdentExpr* id, Frame& f);
    Variant newInstance(const Name& cls);
    bool truthy(const Variant& v);

    // names
    struct Resolved {
        NameKind kind = NameKind::Unresolved;
        Variant* var = nullptr;
        ProcDef* proc = nullptr;
        Object* object = nullptr;     // host object / global-members object
        int builtin = -1;
        bool globalMember = false;
    };
    Resolved resolve(const Name& n, Frame& f, bool forWrite);
    Resolved lookupDynamic(const Name& n, Frame& f, bool forWrite);
    Variant* variableRef(const Expr* e, Frame& f, bool forWrite);  // nullptr if not a plain variable
    Variant* elementRef(ArrayData& a, const std::vector<ExprPtr>& idx, Frame& f, size_t count);
    Variant* elementRef(ArrayData& a, Variant* const* idx, size_t count);
    void assignTo(const Expr* target, Variant value, bool isSet, Frame& f);
    void storeVar(Variant& dst, Variant value, bool isSet);
    Variant callBuiltin(int index, Frame& f, Variant* const* args, size_t n, bool statement);
    Variant callValue(const Variant& callee, Variant* const* args, size_t n, bool statement);

    // state
    std::vector<std::unique_ptr<Variant[]>> globalChunks_;
    std::vector<std::u16string> globalNames_;
    std::unordered_map<std::u16string, int> globalIndex_;
    std::unordered_map<std::u16string, ProcDef*> procs_;
    std::unordered_set<std::u16string> globalConsts_;
    std::unordered_map<std::u16string, ClassDef*> classes_;
    struct HostObject {
        std::u16string lower;
        Ref<Object> object;
        bool membersGlobal;
    };
    std::vector<HostObject> hostObjects_;
    std::unordered_map<std::u16string, ObjectFactory> progIds_;
    std::vector<BuiltinDef> builtins_;
    std::unordered_map<std::u16string, int> builtinIndex_;
    std::vector<Variant> constants_;
    std::unordered_map<std::u16string, int> constantIndex_;
    std::vector<std::unique_ptr<Program>> units_;
    uint32_t generation_ = 1;
    int depth_ = 0;
    int runDepth_ = 0;
    char* stackLimit_ = nullptr;
    uint64_t statements_ = 0;
    uint64_t nextPump_ = 0;
    int curLine_ = 0;
    int curColumn_ = 0;
    int terminateChain_ = 0;  // while a Class_Terminate runs: its object's chain + 1
    int32_t pendingError_ = 0;
};

}  // namespace vk::vbs
