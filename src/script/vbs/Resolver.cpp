// Name resolution: every name gets its storage (frame slot, global slot, member field) or its
// procedure before the code runs, so that running code does not look names up by text.
#include <unordered_set>

#include "script/vbs/Interpreter.h"
#include "script/vbs/Operators.h"
#include "script/vbs/Parser.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

struct Scope {
    ProcDef* proc = nullptr;
    ClassDef* cls = nullptr;
    std::unordered_map<std::u16string, int> locals;
    std::unordered_map<std::u16string, int> implicit;
    int numLocals = 0;
    std::unordered_set<std::u16string> consts;
    bool globalScope = true;   // names at this level are globals
    Frame* executeFrame = nullptr;  // Execute text inside a procedure
};

template <class F>
void forEachStmt(const Block& b, F&& fn);

template <class F>
void forEachStmtIn(const Stmt* s, F&& fn) {
    fn(s);
    switch (s->kind) {
        case StmtKind::If: {
            auto* i = static_cast<const IfStmt*>(s);
            for (const auto& blk : i->blocks) forEachStmt(blk, fn);
            forEachStmt(i->elseBlock, fn);
            break;
        }
        case StmtKind::Select: {
            auto* i = static_cast<const SelectStmt*>(s);
            for (const auto& blk : i->blocks) forEachStmt(blk, fn);
            forEachStmt(i->elseBlock, fn);
            break;
        }
        case StmtKind::For: forEachStmt(static_cast<const ForStmt*>(s)->body, fn); break;
        case StmtKind::ForEach: forEachStmt(static_cast<const ForEachStmt*>(s)->body, fn); break;
        case StmtKind::Do: forEachStmt(static_cast<const DoStmt*>(s)->body, fn); break;
        case StmtKind::While: forEachStmt(static_cast<const WhileStmt*>(s)->body, fn); break;
        case StmtKind::With: forEachStmt(static_cast<const WithStmt*>(s)->body, fn); break;
        default: break;
    }
}

template <class F>
void forEachStmt(const Block& b, F&& fn) {
    for (const auto& s : b) forEachStmtIn(s.get(), fn);
}

}  // namespace

class Resolver {
public:
    Resolver(Interpreter& in, std::unordered_map<std::u16string, int>& globals,
             std::unordered_map<std::u16string, ProcDef*>& procs,
             std::unordered_map<std::u16string, int>& builtins, std::unordered_map<std::u16string, int>& constants,
             std::function<int(const std::u16string&)> makeGlobal, std::function<Variant*(int)> globalPtr)
        : in_(in), globals_(globals), procs_(procs), builtins_(builtins), constants_(constants),
          makeGlobal_(std::move(makeGlobal)), globalPtr_(std::move(globalPtr)) {}

    void program(Program& p, Frame* scopeFrame, bool globalScope) {
        optionExplicit_ = p.optionExplicit;
        if (globalScope) hoistGlobals(p.body, p.optionExplicit);
        for (auto& c : p.classes) classDef(*c);
        for (auto& pr : p.procs) procedure(*pr, nullptr);
        Scope top;
        top.globalScope = globalScope;
        if (!globalScope) {
            top.executeFrame = scopeFrame;
            if (scopeFrame && scopeFrame->proc) {
                top.proc = scopeFrame->proc;
                top.cls = scopeFrame->proc->owner;
                for (size_t i = 0; i < scopeFrame->proc->localNames.size(); ++i)
                    top.locals[scopeFrame->proc->localNames[i]] = static_cast<int>(i);
            }
        }
        scope_ = &top;
        block(p.body);
        if (p.expression) expr(p.expression.get());
        scope_ = nullptr;
    }

private:
    void hoistGlobals(const Block& body, bool optionExplicit) {
        forEachStmt(body, [&](const Stmt* s) {
            switch (s->kind) {
                case StmtKind::Dim:
                    for (const auto& it : static_cast<const DimStmt*>(s)->items) makeGlobal_(it.name.lower);
                    break;
                case StmtKind::ReDim:
                    for (const auto& it : static_cast<const ReDimStmt*>(s)->items) makeGlobal_(it.name.lower);
                    break;
                case StmtKind::Const:
                    for (const auto& it : static_cast<const ConstStmt*>(s)->items) {
                        makeGlobal_(it.first.lower);
                        globalConsts_.insert(it.first.lower);
                    }
                    break;
                default:
                    break;
            }
            if (optionExplicit) return;
            const Expr* target = nullptr;
            if (s->kind == StmtKind::Assign) target = static_cast<const AssignStmt*>(s)->target.get();
            if (s->kind == StmtKind::For) target = static_cast<const ForStmt*>(s)->var.get();
            if (s->kind == StmtKind::ForEach) target = static_cast<const ForEachStmt*>(s)->var.get();
            if (target && target->kind == ExprKind::Ident) {
                const auto& lower = static_cast<const IdentExpr*>(target)->name.lower;
                if (!procs_.count(lower) && !builtins_.count(lower) && !constants_.count(lower) && !isHostName(lower))
                    makeGlobal_(lower);
            }
        });
    }

    bool isHostName(const std::u16string& lower) const;

    void classDef(ClassDef& c) {
        c.members.clear();
        auto member = [&](const std::u16string& lower) -> ClassDef::Member& {
            for (auto& m : c.members)
                if (m.first == lower) return m.second;
            c.members.emplace_back(lower, ClassDef::Member{});
            return c.members.back().second;
        };
        for (size_t i = 0; i < c.fields.size(); ++i) {
            auto& m = member(c.fields[i].name.lower);
            m.field = static_cast<int>(i);
            m.isPublic = c.fields[i].isPublic;
        }
        for (auto& p : c.procs) {
            auto& m = member(p->name.lower);
            m.isPublic = p->isPublic;
            switch (p->kind) {
                case ProcKind::PropLet: m.let = p.get(); break;
                case ProcKind::PropSet: m.set = p.get(); break;
                default: m.get = p.get(); break;
            }
            if (p->isDefault) c.defaultMember = p->name.lower;
            if (p->name.lower == u"class_initialize" && p->kind == ProcKind::Sub) c.initialize = p.get();
            if (p->name.lower == u"class_terminate" && p->kind == ProcKind::Sub) c.terminate = p.get();
        }
        for (auto& p : c.procs) procedure(*p, &c);
        // field array bounds are evaluated at New, in the global scope
        Scope s;
        s.cls = &c;
        s.globalScope = true;
        Scope* saved = scope_;
        scope_ = &s;
        for (auto& f : c.fields)
            for (auto& d : f.dims) expr(d.get());
        scope_ = saved;
    }

    void procedure(ProcDef& p, ClassDef* cls) {
        Scope s;
        s.proc = &p;
        s.cls = cls;
        s.globalScope = false;
        p.localNames.clear();
        p.constants.clear();
        auto add = [&](const std::u16string& lower) {
            if (s.locals.count(lower)) return;
            s.locals[lower] = s.numLocals++;
            p.localNames.push_back(lower);
        };
        for (auto& prm : p.params) add(prm.name.lower);
        if (p.kind == ProcKind::Function || p.kind == ProcKind::PropGet) {
            p.resultSlot = s.numLocals;
            s.locals[p.name.lower] = s.numLocals++;
            p.localNames.push_back(p.name.lower);
        }
        forEachStmt(p.body, [&](const Stmt* st) {
            if (st->kind == StmtKind::Dim)
                for (const auto& it : static_cast<const DimStmt*>(st)->items) add(it.name.lower);
            if (st->kind == StmtKind::ReDim)
                for (const auto& it : static_cast<const ReDimStmt*>(st)->items) {
                    // ReDim of a global or field array resizes it; only otherwise is it a local
                    bool outer = globals_.count(it.name.lower) || (cls && cls->findMember(it.name.lower));
                    if (!outer) add(it.name.lower);
                }
            if (st->kind == StmtKind::Const)
                for (const auto& it : static_cast<const ConstStmt*>(st)->items) {
                    add(it.first.lower);
                    s.consts.insert(it.first.lower);
                }
        });
        p.optionExplicit = optionExplicit_;
        Scope* saved = scope_;
        scope_ = &s;
        for (auto& prm : p.params) name(prm.name, false);
        block(p.body);
        scope_ = saved;
        p.numLocals = s.numLocals;
    }

    void name(Name& n, bool callWithArgs) {
        Scope& s = *scope_;
        n.global = nullptr;
        n.proc = nullptr;
        n.cacheGen = 0;
        // a Function's own name with arguments is a recursive call, without them its result
        if (callWithArgs && s.proc && n.lower == s.proc->name.lower &&
            (s.proc->kind == ProcKind::Function || s.proc->kind == ProcKind::PropGet)) {
            if (s.cls) {
                n.kind = NameKind::MemberProc;
                n.proc = s.proc;
            } else {
                n.kind = NameKind::Proc;
                n.proc = s.proc;
            }
            return;
        }
        n.isConst = s.consts.count(n.lower) != 0;
        if (auto it = s.locals.find(n.lower); it != s.locals.end()) {
            n.kind = NameKind::Local;
            n.slot = it->second;
            return;
        }
        if (s.cls) {
            if (const auto* m = s.cls->findMember(n.lower)) {
                if (m->field >= 0) {
                    n.kind = NameKind::Member;
                    n.slot = m->field;
                } else {
                    n.kind = NameKind::MemberProc;
                    n.proc = m->get ? m->get : (m->let ? m->let : m->set);
                }
                return;
            }
        }
        if (!s.globalScope && s.executeFrame) {
            // Execute text in a procedure: anything not local yet is found when it runs
            n.kind = NameKind::Dynamic;
            n.slot = -1;
            return;
        }
        if (auto it = globals_.find(n.lower); it != globals_.end()) {
            n.isConst = globalConsts_.count(n.lower) != 0;
            n.kind = NameKind::Global;
            n.slot = it->second;
            n.global = globalPtr_(it->second);
            return;
        }
        if (auto it = procs_.find(n.lower); it != procs_.end()) {
            n.kind = NameKind::Proc;
            n.proc = it->second;
            return;
        }
        if (!isHostName(n.lower)) {
            if (auto it = builtins_.find(n.lower); it != builtins_.end()) {
                n.kind = NameKind::Builtin;
                n.slot = it->second;
                return;
            }
            if (auto it = constants_.find(n.lower); it != constants_.end()) {
                n.kind = NameKind::Constant;
                n.slot = it->second;
                return;
            }
        }
        n.kind = NameKind::Dynamic;
        n.slot = -1;
        if (s.proc && !s.globalScope) {
            // implicit local, unless the name turns out to be global when it runs
            auto it = s.implicit.find(n.lower);
            if (it == s.implicit.end()) {
                it = s.implicit.emplace(n.lower, s.numLocals++).first;
                s.proc->localNames.push_back(n.lower);
            }
            n.slot = it->second;
        }
    }

    void exprs(std::vector<ExprPtr>& v) {
        for (auto& e : v)
            if (e) expr(e.get());
    }

    void expr(Expr* e) {
        switch (e->kind) {
            case ExprKind::Ident: name(static_cast<IdentExpr*>(e)->name, false); break;
            case ExprKind::Member: {
                auto* m = static_cast<MemberExpr*>(e);
                if (m->object) expr(m->object.get());
                break;
            }
            case ExprKind::Call: {
                auto* c = static_cast<CallExpr*>(e);
                if (c->callee->kind == ExprKind::Ident)
                    name(static_cast<IdentExpr*>(c->callee.get())->name, !c->args.empty());
                else
                    expr(c->callee.get());
                exprs(c->args);
                break;
            }
            case ExprKind::Unary: expr(static_cast<UnaryExpr*>(e)->operand.get()); break;
            case ExprKind::Binary: {
                auto* b = static_cast<BinaryExpr*>(e);
                expr(b->lhs.get());
                expr(b->rhs.get());
                break;
            }
            case ExprKind::Paren: expr(static_cast<ParenExpr*>(e)->inner.get()); break;
            default: break;
        }
    }

    void block(Block& b) {
        for (auto& s : b) stmt(s.get());
    }

    // No calls that could change variables behind our back (s = s & x appends in place).
    bool pure(const Expr* e) const {
        switch (e->kind) {
            case ExprKind::Literal: return true;
            case ExprKind::Ident: {
                NameKind k = static_cast<const IdentExpr*>(e)->name.kind;
                return k == NameKind::Local || k == NameKind::Global || k == NameKind::Member || k == NameKind::Constant;
            }
            case ExprKind::Paren: return pure(static_cast<const ParenExpr*>(e)->inner.get());
            case ExprKind::Unary: return pure(static_cast<const UnaryExpr*>(e)->operand.get());
            case ExprKind::Binary: {
                auto* b = static_cast<const BinaryExpr*>(e);
                return pure(b->lhs.get()) && pure(b->rhs.get());
            }
            case ExprKind::Call: {
                auto* c = static_cast<const CallExpr*>(e);
                if (c->callee->kind != ExprKind::Ident) return false;
                const Name& n = static_cast<const IdentExpr*>(c->callee.get())->name;
                if (n.kind != NameKind::Builtin) return false;
                if (n.lower == u"execute" || n.lower == u"executeglobal" || n.lower == u"eval" ||
                    n.lower == u"getref" || n.lower == u"createobject" || n.lower == u"getobject" ||
                    n.lower == u"msgbox" || n.lower == u"inputbox")
                    return false;
                for (const auto& a : c->args)
                    if (!pure(a.get())) return false;
                return true;
            }
            default: return false;
        }
    }

    // A Const has its value from the start, whether or not its statement runs
    // ("If False Then Const c = 1" still defines c): globals get it now, locals at each call.
    void bindConstant(const Name& n, const Expr* value) {
        Variant v;
        if (!literalValue(value, v)) return;
        if (n.kind == NameKind::Global && n.global) *n.global = v;
        else if (n.kind == NameKind::Local && scope_->proc && !scope_->executeFrame)
            scope_->proc->constants.emplace_back(n.slot, std::move(v));
    }

    static bool literalValue(const Expr* e, Variant& out) {
        switch (e->kind) {
            case ExprKind::Literal: out = static_cast<const LiteralExpr*>(e)->value; return true;
            case ExprKind::Paren: return literalValue(static_cast<const ParenExpr*>(e)->inner.get(), out);
            case ExprKind::Unary: {
                auto* u = static_cast<const UnaryExpr*>(e);
                if (u->op != Op::Neg || !literalValue(u->operand.get(), out)) return false;
                try {
                    out = opNeg(out);
                } catch (const ScriptError&) {
                    return false;  // left to the statement, which raises it when it runs
                }
                return true;
            }
            default: return false;
        }
    }

    static bool sameVariable(const Expr* a, const Expr* b) {
        if (a->kind != ExprKind::Ident || b->kind != ExprKind::Ident) return false;
        const Name& x = static_cast<const IdentExpr*>(a)->name;
        const Name& y = static_cast<const IdentExpr*>(b)->name;
        if (x.kind != y.kind || x.slot != y.slot) return false;
        return x.kind == NameKind::Local || x.kind == NameKind::Global || x.kind == NameKind::Member;
    }

    void stmt(Stmt* s) {
        switch (s->kind) {
            case StmtKind::Assign: {
                auto* a = static_cast<AssignStmt*>(s);
                expr(a->target.get());
                expr(a->value.get());
                if (!a->isSet && a->value->kind == ExprKind::Binary) {
                    auto* b = static_cast<BinaryExpr*>(a->value.get());
                    a->appendInPlace = b->op == Op::Concat && sameVariable(a->target.get(), b->lhs.get()) &&
                                       pure(b->rhs.get());
                }
                break;
            }
            case StmtKind::Call: expr(static_cast<CallStmt*>(s)->call.get()); break;
            case StmtKind::Dim:
                for (auto& it : static_cast<DimStmt*>(s)->items) {
                    name(it.name, false);
                    exprs(it.dims);
                }
                break;
            case StmtKind::ReDim:
                for (auto& it : static_cast<ReDimStmt*>(s)->items) {
                    name(it.name, false);
                    exprs(it.dims);
                }
                break;
            case StmtKind::Const:
                for (auto& it : static_cast<ConstStmt*>(s)->items) {
                    name(it.first, false);
                    expr(it.second.get());
                    bindConstant(it.first, it.second.get());
                }
                break;
            case StmtKind::Erase: expr(static_cast<EraseStmt*>(s)->target.get()); break;
            case StmtKind::If: {
                auto* i = static_cast<IfStmt*>(s);
                exprs(i->conds);
                for (auto& b : i->blocks) block(b);
                block(i->elseBlock);
                break;
            }
            case StmtKind::Select: {
                auto* i = static_cast<SelectStmt*>(s);
                expr(i->subject.get());
                for (auto& list : i->caseLists)
                    for (auto& c : list) {
                        if (c.a) expr(c.a.get());
                        if (c.b) expr(c.b.get());
                    }
                for (auto& b : i->blocks) block(b);
                block(i->elseBlock);
                break;
            }
            case StmtKind::For: {
                auto* f = static_cast<ForStmt*>(s);
                expr(f->var.get());
                expr(f->from.get());
                expr(f->to.get());
                if (f->step) expr(f->step.get());
                block(f->body);
                break;
            }
            case StmtKind::ForEach: {
                auto* f = static_cast<ForEachStmt*>(s);
                expr(f->var.get());
                expr(f->collection.get());
                block(f->body);
                break;
            }
            case StmtKind::Do: {
                auto* d = static_cast<DoStmt*>(s);
                if (d->cond) expr(d->cond.get());
                block(d->body);
                break;
            }
            case StmtKind::While: {
                auto* w = static_cast<WhileStmt*>(s);
                expr(w->cond.get());
                block(w->body);
                break;
            }
            case StmtKind::With: {
                auto* w = static_cast<WithStmt*>(s);
                expr(w->object.get());
                block(w->body);
                break;
            }
            case StmtKind::MidAssign: {
                auto* m = static_cast<MidAssignStmt*>(s);
                expr(m->target.get());
                expr(m->start.get());
                if (m->length) expr(m->length.get());
                expr(m->value.get());
                break;
            }
            default: break;
        }
    }

    Interpreter& in_;
    std::unordered_map<std::u16string, int>& globals_;
    std::unordered_map<std::u16string, ProcDef*>& procs_;
    std::unordered_map<std::u16string, int>& builtins_;
    std::unordered_map<std::u16string, int>& constants_;
    std::function<int(const std::u16string&)> makeGlobal_;
    std::function<Variant*(int)> globalPtr_;
    Scope* scope_ = nullptr;
    bool optionExplicit_ = false;

public:
    std::unordered_set<std::u16string> globalConsts_;

private:

public:
    std::function<bool(const std::u16string&)> hostName;
};

bool Resolver::isHostName(const std::u16string& lower) const { return hostName && hostName(lower); }

void Interpreter::registerDefinitions(Program& p) {
    for (auto& c : p.classes) classes_[c->name.lower] = c.get();
    for (auto& pr : p.procs) procs_[pr->name.lower] = pr.get();
    ++generation_;
}

void Interpreter::resolveProgram(Program& p, Frame* scope, bool globalScope) {
    Resolver r(
        *this, globalIndex_, procs_, builtinIndex_, constantIndex_,
        [this](const std::u16string& lower) { return globalSlot(lower, true); },
        [this](int slot) { return globalPtr(slot); });
    std::swap(r.globalConsts_, globalConsts_);
    struct Back {
        Resolver& r;
        std::unordered_set<std::u16string>& g;
        ~Back() { std::swap(r.globalConsts_, g); }
    } back{r, globalConsts_};
    r.hostName = [this](const std::u16string& lower) {
        for (const auto& h : hostObjects_)
            if (h.lower == lower) return true;
        return false;
    };
    r.program(p, scope, globalScope);
}

std::unique_ptr<Program> Interpreter::compile(const std::u16string& code, Frame* scope, bool globalScope) {
    auto p = parseProgram(code);
    registerDefinitions(*p);
    resolveProgram(*p, scope, globalScope);
    return p;
}

}  // namespace vk::vbs
