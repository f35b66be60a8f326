// Statement execution, the run entry points and the engine's global state.
#include "script/vbs/Interpreter.h"

#include <pthread.h>

#include <algorithm>
#include <cmath>

#include "script/vbs/Operators.h"
#include "script/vbs/Parser.h"
#include "script/vbs/StdObjects.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {
constexpr size_t kGlobalChunk = 256;

struct DepthGuard {
    int& d;
    explicit DepthGuard(int& depth) : d(depth) { ++d; }
    ~DepthGuard() { --d; }
};
}  // namespace

Interpreter::Interpreter() : self(std::make_shared<Interpreter*>(this)) {
    for (auto table : {stringBuiltins(), mathBuiltins(), dateBuiltins(), miscBuiltins()})
        for (const auto& b : table) {
            builtinIndex_[toLower(u16(b.name))] = static_cast<int>(builtins_.size());
            builtins_.push_back(b);
        }
    for (auto& c : builtinConstants()) {
        constantIndex_[toLower(u16(c.name))] = static_cast<int>(constants_.size());
        constants_.push_back(std::move(c.value));
    }
    errObject = makeErrObject(*this);
    registerProgId("Scripting.Dictionary", [c = cycles] { return makeDictionary(c); });
    registerProgId("VBScript.RegExp", [] { return makeRegExp(); });
}

Interpreter::~Interpreter() {
    // Class_Terminate of objects still held by globals runs while the engine is whole.
    stopFlag = false;
    runDepth_ = 1;
    for (size_t i = 0; i < globalNames_.size(); ++i) {
        Variant v = std::move(*globalPtr(static_cast<int>(i)));
        *globalPtr(static_cast<int>(i)) = Variant();
    }
    // What is left is held in cycles (or by the host): empty those objects.
    for (int pass = 0; pass < 3 && !cycles->live.empty(); ++pass) {
        std::vector<Ref<Collectable>> left(cycles->live.begin(), cycles->live.end());
        for (auto& o : left) o->breakCycles();
    }
    hostObjects_.clear();
    *self = nullptr;
}

int Interpreter::globalSlot(const std::u16string& lower, bool create) {
    auto it = globalIndex_.find(lower);
    if (it != globalIndex_.end()) return it->second;
    if (!create) return -1;
    int slot = static_cast<int>(globalNames_.size());
    if (globalNames_.size() % kGlobalChunk == 0) globalChunks_.emplace_back(new Variant[kGlobalChunk]);
    globalNames_.push_back(lower);
    globalIndex_[lower] = slot;
    ++generation_;
    return slot;
}

Variant* Interpreter::globalPtr(int slot) {
    return &globalChunks_[static_cast<size_t>(slot) / kGlobalChunk][static_cast<size_t>(slot) % kGlobalChunk];
}

bool Interpreter::getGlobal(const std::string& name, Variant& out) const {
    auto it = globalIndex_.find(toLower(utf8ToUtf16(name)));
    if (it == globalIndex_.end()) return false;
    out = const_cast<Interpreter*>(this)->globalPtr(it->second)[0];
    return true;
}

void Interpreter::addObject(const std::string& name, Ref<Object> obj, bool membersGlobal) {
    std::u16string lower = toLower(utf8ToUtf16(name));
    for (auto& h : hostObjects_)
        if (h.lower == lower) {
            h.object = std::move(obj);
            h.membersGlobal = membersGlobal;
            ++generation_;
            return;
        }
    hostObjects_.push_back({lower, std::move(obj), membersGlobal});
    ++generation_;
}

void Interpreter::registerProgId(const std::string& progId, ObjectFactory factory) {
    progIds_[toLower(utf8ToUtf16(progId))] = std::move(factory);
}

Ref<Object> Interpreter::createObject(const std::u16string& progId) {
    auto it = progIds_.find(toLower(progId));
    if (it == progIds_.end() || !it->second) raise(err::CantCreateObject);
    Ref<Object> o = it->second();
    if (!o) raise(err::CantCreateObject);
    return o;
}

void Interpreter::setError(const ScriptError& e) {
    err.number = e.number;
    err.description = utf8ToUtf16(e.description);
    err.source = utf8ToUtf16(e.source);
    err.helpFile = utf8ToUtf16(e.helpFile);
    err.helpContext = e.helpContext;
}

void Interpreter::checkpoint() {
    if (stopFlag.load(std::memory_order_relaxed)) throw StopRequest{};
    raisePending();
    if (pump && ++statements_ >= nextPump_) {
        nextPump_ = statements_ + std::max(1u, pumpInterval);
        pump();
        if (stopFlag.load(std::memory_order_relaxed)) throw StopRequest{};
    }
}

void Interpreter::checkStack() {
    char* here = static_cast<char*>(__builtin_frame_address(0));
    if (here < stackLimit_ || depth_ >= kMaxCallDepth) raise(err::OutOfStack);
}

ScriptResult Interpreter::runTop(const std::function<void()>& body) {
    ScriptResult r;
    if (runDepth_ == 0) {
        stopFlag = false;
        depth_ = 0;
        char* here = static_cast<char*>(__builtin_frame_address(0));
        pthread_attr_t attr;
        void* addr = nullptr;
        size_t size = 0;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            pthread_attr_getstack(&attr, &addr, &size);
            pthread_attr_destroy(&attr);
        }
        char* low = static_cast<char*>(addr);
        if (!addr || size == 0 || size > (1u << 30) || here < low || here > low + size) {
            low = here - 4 * 1024 * 1024;  // unknown: assume a 4 MB budget
            size = 4 * 1024 * 1024;
        }
        size_t margin = std::max<size_t>(size / 8, 256 * 1024);
        stackLimit_ = low + margin;
    }
    ++runDepth_;
    if (runDepth_ == 1) pendingError_ = 0;
    try {
        body();
        if (runDepth_ == 1) raisePending();
    } catch (const SyntaxError& e) {
        r.ok = false;
        r.number = e.number;
        r.description = e.description;
        r.source = kCompileSource;
        r.line = e.line;
        r.column = e.column;
    } catch (const ScriptError& e) {
        r.ok = false;
        r.number = e.number;
        r.description = e.description;
        r.source = e.source;
        r.line = curLine_;
        r.column = curColumn_;
        setError(e);
    } catch (const StopRequest&) {
        r.ok = false;
        r.stopped = true;
        r.number = err::Stopped;
        r.description = "The script was stopped";
        r.source = kRuntimeSource;
        r.line = curLine_;
        r.column = curColumn_;
    } catch (const std::bad_alloc&) {
        r.ok = false;
        r.number = err::OutOfMemory;
        r.description = errorText(err::OutOfMemory);
        r.source = kRuntimeSource;
        r.line = curLine_;
    } catch (const std::length_error&) {
        r.ok = false;
        r.number = err::OutOfStringSpace;
        r.description = errorText(err::OutOfStringSpace);
        r.source = kRuntimeSource;
        r.line = curLine_;
    }
    --runDepth_;
    return r;
}

ScriptResult Interpreter::executeStatement(const std::string& text) {
    return runTop([&] {
        std::u16string src = utf8ToUtf16(text);
        if (!src.empty() && src[0] == 0xFEFF) src.erase(0, 1);
        auto prog = compile(src, nullptr, true);
        Program* raw = prog.get();
        bool keep = !raw->procs.empty() || !raw->classes.empty();
        Frame f;
        f.optionExplicit = raw->optionExplicit;
        if (keep) {
            units_.push_back(std::move(prog));
            execBlock(raw->body, f);
        } else {
            execBlock(raw->body, f);
        }
    });
}

ScriptResult Interpreter::evaluate(const std::string& text, Variant& result) {
    return runTop([&] {
        Frame f;
        result = eval(utf8ToUtf16(text), f);
    });
}

ScriptResult Interpreter::callProcedure(const std::string& name, std::vector<Variant>& args, Variant& result) {
    return runTop([&] {
        auto it = procs_.find(toLower(utf8ToUtf16(name)));
        if (it == procs_.end()) raise(err::SubNotDefined);
        std::vector<Variant*> ptrs;
        for (auto& a : args) ptrs.push_back(&a);
        result = callProc(it->second, nullptr, ptrs.data(), ptrs.size());
    });
}

void Interpreter::execute(const std::u16string& code, Frame& f, bool global) {
    bool atGlobal = global || !f.proc;
    std::unique_ptr<Program> p;
    try {
        p = compile(code, atGlobal ? nullptr : &f, atGlobal);
    } catch (const SyntaxError& e) {
        throw ScriptError(e.number, e.description, kCompileSource);
    }
    checkStack();
    DepthGuard g(depth_);
    Frame nf;
    nf.optionExplicit = p->optionExplicit;
    if (!atGlobal) {
        nf.proc = f.proc;
        nf.vars = f.vars;
        nf.me = f.me;
        if (!f.extras) {
            f.ownExtras = std::make_unique<std::unordered_map<std::u16string, std::unique_ptr<Variant>>>();
            f.extras = f.ownExtras.get();
        }
        nf.extras = f.extras;
    }
    Program* raw = p.get();
    if (!raw->procs.empty() || !raw->classes.empty()) units_.push_back(std::move(p));
    int line = curLine_, col = curColumn_;
    execBlock(raw->body, nf);
    curLine_ = line;
    curColumn_ = col;
}

Variant Interpreter::eval(const std::u16string& code, Frame& f) {
    std::unique_ptr<Program> p;
    try {
        p = parseExpression(code);
        resolveProgram(*p, f.proc ? &f : nullptr, !f.proc);
    } catch (const SyntaxError& e) {
        throw ScriptError(e.number, e.description, kCompileSource);
    }
    checkStack();
    DepthGuard g(depth_);
    return eval(p->expression.get(), f);
}

Variant Interpreter::callProc(ProcDef* p, ClassInstance* me, Variant* const* args, size_t n) {
    if (n != p->params.size()) raise(err::WrongArgs);
    checkStack();
    DepthGuard g(depth_);
    Ref<Object> keepMe(me);
    constexpr int kInline = 8;
    Variant inlineStore[kInline];
    Variant* inlinePtrs[kInline];
    std::unique_ptr<Variant[]> heapStore;
    std::unique_ptr<Variant*[]> heapPtrs;
    Variant* store = inlineStore;
    Variant** ptrs = inlinePtrs;
    int nl = p->numLocals;
    if (nl > kInline) {
        heapStore.reset(new Variant[static_cast<size_t>(nl)]);
        heapPtrs.reset(new Variant*[static_cast<size_t>(nl)]);
        store = heapStore.get();
        ptrs = heapPtrs.get();
    }
    for (int i = 0; i < nl; ++i) ptrs[i] = &store[i];
    for (const auto& [slot, value] : p->constants) store[slot] = value;
    for (size_t i = 0; i < n; ++i) {
        if (args[i]->isMissing()) continue;
        if (p->params[i].byRef)
            ptrs[i] = args[i];
        else
            store[i] = *args[i];
    }
    Frame f;
    f.proc = p;
    f.vars = ptrs;
    f.me = me;
    f.optionExplicit = p->optionExplicit;
    int line = curLine_, col = curColumn_;
    execBlock(p->body, f);
    curLine_ = line;
    curColumn_ = col;
    if (p->resultSlot >= 0) return std::move(store[p->resultSlot]);
    return Variant();
}

bool Interpreter::truthy(const Variant& v) {
    switch (v.type()) {
        case VT::Boolean: return v.boolean();
        case VT::Null: return false;
        case VT::Integer: return v.integer() != 0;
        case VT::Long: return v.lng() != 0;
        default: return toBool(v);
    }
}

Flow Interpreter::execBlock(const Block& b, Frame& f) {
    if (static_cast<char*>(__builtin_frame_address(0)) < stackLimit_) raise(err::OutOfStack);
    for (const auto& sp : b) {
        const Stmt* s = sp.get();
        checkpoint();
        curLine_ = s->line;
        curColumn_ = s->column;
        if (!f.resumeNext) {
            Flow r = exec(s, f);
            if (r != Flow::Normal) return r;
            continue;
        }
        try {
            Flow r = exec(s, f);
            if (r != Flow::Normal) return r;
        } catch (const ScriptError& e) {
            setError(e);
        } catch (const std::bad_alloc&) {
            setError(ScriptError(err::OutOfMemory));
        } catch (const std::length_error&) {
            setError(ScriptError(err::OutOfStringSpace));
        }
    }
    return Flow::Normal;
}

// Runs part of a statement's header. Under On Error Resume Next an error there is recorded
// and execution resumes into the statement (false); otherwise it propagates.
template <class F>
bool Interpreter::guarded(Frame& f, F&& part) {
    if (!f.resumeNext) {
        part();
        return true;
    }
    try {
        part();
        return true;
    } catch (const ScriptError& e) {
        setError(e);
        return false;
    }
}

Interpreter::Test Interpreter::test(const Expr* cond, Frame& f) {
    bool value = false;
    if (!guarded(f, [&] { value = truthy(eval(cond, f)); })) return Test::Failed;
    return value ? Test::True : Test::False;
}

Flow Interpreter::exec(const Stmt* s, Frame& f) {
    switch (s->kind) {
        case StmtKind::Assign:
            execAssign(static_cast<const AssignStmt*>(s), f);
            return Flow::Normal;
        case StmtKind::Call:
            evalCall(static_cast<const CallExpr*>(static_cast<const CallStmt*>(s)->call.get()), f, true);
            return Flow::Normal;
        case StmtKind::Dim:
            execDim(static_cast<const DimStmt*>(s), f);
            return Flow::Normal;
        case StmtKind::ReDim:
            execReDim(static_cast<const ReDimStmt*>(s), f);
            return Flow::Normal;
        case StmtKind::Const:
            for (const auto& [name, value] : static_cast<const ConstStmt*>(s)->items) {
                Variant v = eval(value.get(), f);
                IdentExpr target;
                target.name = name;
                Variant* dst = variableRef(&target, f, true);
                if (!dst) raise(err::IllegalAssignment);
                *dst = std::move(v);
            }
            return Flow::Normal;
        case StmtKind::Erase:
            execErase(static_cast<const EraseStmt*>(s), f);
            return Flow::Normal;
        case StmtKind::If: {
            auto* i = static_cast<const IfStmt*>(s);
            for (size_t k = 0; k < i->conds.size(); ++k)
                if (test(i->conds[k].get(), f) != Test::False) return execBlock(i->blocks[k], f);
            return execBlock(i->elseBlock, f);
        }
        case StmtKind::Select: return execSelect(static_cast<const SelectStmt*>(s), f);
        case StmtKind::For: return execFor(static_cast<const ForStmt*>(s), f);
        case StmtKind::ForEach: return execForEach(static_cast<const ForEachStmt*>(s), f);
        case StmtKind::Do: return execDo(static_cast<const DoStmt*>(s), f);
        case StmtKind::While: {
            auto* w = static_cast<const WhileStmt*>(s);
            while (test(w->cond.get(), f) != Test::False) {
                Flow r = execBlock(w->body, f);
                if (r == Flow::ExitProc) return r;
                if (r == Flow::ExitDo || r == Flow::ExitFor) return r;
                checkpoint();
            }
            return Flow::Normal;
        }
        case StmtKind::With: {
            auto* w = static_cast<const WithStmt*>(s);
            Variant obj;
            if (!guarded(f, [&] {
                    obj = eval(w->object.get(), f);
                    if (!obj.isObject()) raise(err::ObjectRequired);
                }))
                obj = Variant();  // the body runs; its ".member" finds no object
            f.with.push_back(std::move(obj));
            struct Pop {
                Frame& f;
                ~Pop() { f.with.pop_back(); }
            } pop{f};
            return execBlock(w->body, f);
        }
        case StmtKind::Exit: {
            auto* e = static_cast<const ExitStmt*>(s);
            switch (e->what) {
                case ExitStmt::For: return Flow::ExitFor;
                case ExitStmt::Do: return Flow::ExitDo;
                default:
                    if (!f.proc) raise(err::InvalidCall);
                    err.clear();
                    return Flow::ExitProc;
            }
        }
        case StmtKind::OnError:
            f.resumeNext = static_cast<const OnErrorStmt*>(s)->resumeNext;
            err.clear();
            return Flow::Normal;
        case StmtKind::MidAssign:
            execMidAssign(static_cast<const MidAssignStmt*>(s), f);
            return Flow::Normal;
        case StmtKind::Nop:
            return Flow::Normal;
    }
    return Flow::Normal;
}

// A loop whose header failed under Resume Next: the body runs once, then its Next fails.
Flow Interpreter::runOnceThenFail(const Block& body, Frame& f, int32_t nextError) {
    Flow r = execBlock(body, f);
    if (r == Flow::ExitFor) return Flow::Normal;
    if (r != Flow::Normal) return r;
    setError(ScriptError(nextError));
    return Flow::Normal;
}

Flow Interpreter::execFor(const ForStmt* s, Frame& f) {
    Variant from, to, step;
    Variant* var = nullptr;
    if (!guarded(f, [&] {
            from = toNumeric(eval(s->from.get(), f));
            to = toNumeric(eval(s->to.get(), f));
            step = s->step ? toNumeric(eval(s->step.get(), f)) : Variant(int16_t{1});
            if (from.isNull() || to.isNull() || step.isNull()) raise(err::InvalidNull);
            var = variableRef(s->var.get(), f, true);
            if (!var) raise(err::IllegalAssignment);
        }))
        return runOnceThenFail(s->body, f, err::ForLoopNotInitialized);
    auto isInt = [](const Variant& v) {
        return v.type() == VT::Integer || v.type() == VT::Long || v.type() == VT::Byte;
    };
    if (isInt(from) && isInt(to) && isInt(step)) {
        int64_t a = toLong(from), b = toLong(to), st = toLong(step);
        bool wide = from.type() == VT::Long || to.type() == VT::Long || step.type() == VT::Long;
        auto make = [wide](int64_t v) -> Variant {
            if (!wide && v >= -32768 && v <= 32767) return Variant(static_cast<int16_t>(v));
            if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
            return Variant(static_cast<double>(v));
        };
        storeVar(*var, make(a), false);
        for (;;) {
            int64_t cur;
            const Variant& cv = *var;
            if (cv.type() == VT::Long) cur = cv.lng();
            else if (cv.type() == VT::Integer) cur = cv.integer();
            else cur = static_cast<int64_t>(toDouble(cv));
            if (st >= 0 ? cur > b : cur < b) break;
            Flow r = execBlock(s->body, f);
            if (r == Flow::ExitFor) break;
            if (r != Flow::Normal) return r;
            const Variant& nv = *var;
            if (nv.type() == VT::Long) cur = nv.lng();
            else if (nv.type() == VT::Integer) cur = nv.integer();
            else cur = static_cast<int64_t>(toDouble(nv));
            int64_t next = cur + st;
            if (!wide && (next < -32768 || next > 32767)) {
                if (st >= 0 ? next > b : next < b) break;
                raise(err::Overflow);
            }
            if (next < INT32_MIN || next > INT32_MAX) {
                if (st >= 0 ? next > b : next < b) break;
                raise(err::Overflow);
            }
            *var = make(next);
            if (s->body.empty()) checkpoint();
        }
        return Flow::Normal;
    }
    double b = toDouble(to), st = toDouble(step);
    storeVar(*var, from, false);
    for (;;) {
        double cur = toDouble(*var);
        if (st >= 0 ? cur > b : cur < b) break;
        Flow r = execBlock(s->body, f);
        if (r == Flow::ExitFor) break;
        if (r != Flow::Normal) return r;
        *var = opAdd(*var, step);
        if (s->body.empty()) checkpoint();
    }
    return Flow::Normal;
}

Flow Interpreter::execForEach(const ForEachStmt* s, Frame& f) {
    std::vector<Variant> items;
    Variant* var = nullptr;
    if (!guarded(f, [&] {
            Variant coll = eval(s->collection.get(), f);
            if (coll.isArray()) {
                items = coll.arr().data;
            } else if (coll.isObject() && coll.obj()) {
                Ref<Object> keep(coll.obj());
                if (!coll.obj()->enumerate(items)) raise(err::NotCollection);
            } else {
                raise(coll.isObject() ? err::ObjectRequired : err::NotCollection);
            }
            var = variableRef(s->var.get(), f, true);
            if (!var) raise(err::IllegalAssignment);
        }))
        return runOnceThenFail(s->body, f, err::NotCollection);
    for (auto& item : items) {
        storeVar(*var, std::move(item), false);
        Flow r = execBlock(s->body, f);
        if (r == Flow::ExitFor) break;
        if (r != Flow::Normal) return r;
    }
    return Flow::Normal;
}

Flow Interpreter::execDo(const DoStmt* s, Frame& f) {
    // A failed test (Resume Next) resumes at the statement after it: the body for a test
    // before the body, the statement after the loop for a test after it.
    for (;;) {
        if (s->test == DoStmt::PreWhile && test(s->cond.get(), f) == Test::False) break;
        if (s->test == DoStmt::PreUntil && test(s->cond.get(), f) == Test::True) break;
        Flow r = execBlock(s->body, f);
        if (r == Flow::ExitDo) break;
        if (r != Flow::Normal) return r;
        if (s->test == DoStmt::PostWhile && test(s->cond.get(), f) != Test::True) break;
        if (s->test == DoStmt::PostUntil && test(s->cond.get(), f) != Test::False) break;
        checkpoint();
    }
    return Flow::Normal;
}

Flow Interpreter::execSelect(const SelectStmt* s, Frame& f) {
    Variant subject = eval(s->subject.get(), f);
    for (size_t k = 0; k < s->caseLists.size(); ++k) {
        bool match = false;
        for (const auto& c : s->caseLists[k]) {
            // a Case test that fails under Resume Next enters its block
            if (!guarded(f, [&] { match = caseMatches(subject, c, f); })) match = true;
            if (match) break;
        }
        if (match) return execBlock(s->blocks[k], f);
    }
    if (s->hasElse) return execBlock(s->elseBlock, f);
    return Flow::Normal;
}

bool Interpreter::caseMatches(const Variant& subject, const CaseClause& c, Frame& f) {
    Variant a = eval(c.a.get(), f);
    bool aLit = c.a->kind == ExprKind::Literal;
    if (c.kind == CaseClause::Value) return compare(subject, a, false, false, aLit) == Cmp::Equal;
    if (c.kind == CaseClause::Range) {
        Variant b = eval(c.b.get(), f);
        Cmp lo = compare(subject, a, false, false, aLit);
        Cmp hi = compare(subject, b, false, false, c.b->kind == ExprKind::Literal);
        return (lo == Cmp::Greater || lo == Cmp::Equal) && (hi == Cmp::Less || hi == Cmp::Equal);
    }
    Cmp r = compare(subject, a, false, false, aLit);
    switch (c.op) {
        case Op::Eq: return r == Cmp::Equal;
        case Op::Ne: return r == Cmp::Less || r == Cmp::Greater;
        case Op::Lt: return r == Cmp::Less;
        case Op::Gt: return r == Cmp::Greater;
        case Op::Le: return r == Cmp::Less || r == Cmp::Equal;
        case Op::Ge: return r == Cmp::Greater || r == Cmp::Equal;
        default: return false;
    }
}

void Interpreter::execDim(const DimStmt* s, Frame& f) {
    for (const auto& item : s->items) {
        IdentExpr target;
        target.name = item.name;
        if (item.name.kind == NameKind::Dynamic) {
            // Execute text: declare in the running scope
            if (f.extras) {
                auto& slot = (*f.extras)[item.name.lower];
                if (!slot) slot = std::make_unique<Variant>();
            } else {
                globalSlot(item.name.lower, true);
            }
        }
        if (!item.isArray) continue;
        Variant* dst = variableRef(&target, f, true);
        if (!dst) raise(err::IllegalAssignment);
        std::vector<int32_t> ub;
        for (const auto& d : item.dims) ub.push_back(toLong(eval(d.get(), f)));
        ArrayData* a = ub.empty() ? new ArrayData : newArray(ub);
        a->fixed = !ub.empty();
        storeVar(*dst, Variant(a), false);
    }
}

void Interpreter::execReDim(const ReDimStmt* s, Frame& f) {
    for (const auto& item : s->items) {
        IdentExpr target;
        target.name = item.name;
        if (item.name.kind == NameKind::Dynamic && f.extras) {
            auto& slot = (*f.extras)[item.name.lower];
            if (!slot) slot = std::make_unique<Variant>();
        }
        Variant* dst = variableRef(&target, f, true);
        if (!dst) raise(err::IllegalAssignment);
        if (dst->isArray() && (dst->arr().fixed || dst->arr().locks)) raise(err::ArrayLocked);
        std::vector<int32_t> ub;
        for (const auto& d : item.dims) ub.push_back(toLong(eval(d.get(), f)));
        if (dst->isArray()) {
            ArrayData& old = dst->arr();
            if (s->preserve && !old.ubounds.empty()) {
                if (old.ubounds.size() != ub.size()) raise(err::SubscriptRange);
                for (size_t k = 0; k + 1 < ub.size(); ++k)
                    if (old.ubounds[k] != ub[k]) raise(err::SubscriptRange);
                ArrayData* fresh = newArray(ub);
                size_t keep = std::min(fresh->data.size(), old.data.size());
                for (size_t k = 0; k < keep; ++k) fresh->data[k] = std::move(old.data[k]);
                *dst = Variant(fresh);
                continue;
            }
        }
        *dst = Variant(newArray(ub));
    }
}

void Interpreter::execErase(const EraseStmt* s, Frame& f) {
    Variant* dst = variableRef(s->target.get(), f, true);
    if (!dst || !dst->isArray()) raise(err::TypeMismatch);
    ArrayData& a = dst->arr();
    if (a.locks) raise(err::ArrayLocked);
    if (a.fixed) {
        std::vector<Variant> fresh(a.data.size());
        a.data.swap(fresh);
    } else {
        *dst = Variant(new ArrayData);
    }
}

void Interpreter::execMidAssign(const MidAssignStmt* s, Frame& f) {
    Variant* dst = variableRef(s->target.get(), f, true);
    if (!dst) raise(err::TypeMismatch);
    int32_t start = toLong(eval(s->start.get(), f));
    if (start < 1) raise(err::InvalidCall);
    std::u16string text = toStr(eval(s->value.get(), f));
    if (dst->isNull()) raise(err::InvalidNull);
    std::u16string cur = toStr(*dst);
    if (static_cast<size_t>(start) > cur.size()) raise(err::InvalidCall);
    size_t len = text.size();
    if (s->length) {
        int32_t l = toLong(eval(s->length.get(), f));
        if (l < 0) raise(err::InvalidCall);
        len = std::min(len, static_cast<size_t>(l));
    }
    len = std::min(len, cur.size() - static_cast<size_t>(start - 1));
    cur.replace(static_cast<size_t>(start - 1), len, text.substr(0, len));
    *dst = Variant(std::move(cur));
}

void Interpreter::execAssign(const AssignStmt* s, Frame& f) {
    if (s->appendInPlace) {
        Variant* dst = variableRef(s->target.get(), f, true);
        if (dst && dst->isString()) {
            Variant rhs = eval(static_cast<const BinaryExpr*>(s->value.get())->rhs.get(), f);
            if (rhs.isNull()) return;
            std::u16string& str = dst->strMut();
            if (rhs.isString()) {
                if (str.size() + rhs.str().size() > kMaxStringLength) raise(err::OutOfStringSpace);
                str += rhs.str();
            } else {
                std::u16string t = toStr(rhs);
                if (str.size() + t.size() > kMaxStringLength) raise(err::OutOfStringSpace);
                str += t;
            }
            return;
        }
    }
    Variant v = eval(s->value.get(), f);
    assignTo(s->target.get(), std::move(v), s->isSet, f);
}

void Interpreter::storeVar(Variant& dst, Variant value, bool isSet) {
    if (dst.isArray() && dst.arr().locks) raise(err::ArrayLocked);
    if (isSet && !value.isObject()) raise(err::ObjectRequired);
    dst = std::move(value);
}

}  // namespace vk::vbs
