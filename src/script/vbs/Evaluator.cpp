// Expression evaluation, calls, argument passing and assignment.
#include <cmath>

#include "script/vbs/Interpreter.h"
#include "script/vbs/Operators.h"
#include "script/vbs/StdObjects.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {
enum CacheKind : uint8_t { CacheNone = 0, CacheGlobal, CacheProc, CacheHost, CacheGlobalMember, CacheNotFound };

bool isInt(const Variant& v) { return v.type() == VT::Integer || v.type() == VT::Long; }
int64_t intOf(const Variant& v) { return v.type() == VT::Integer ? v.integer() : v.lng(); }

Variant fromInt64(int64_t r) {
    if (r >= -32768 && r <= 32767) return Variant(static_cast<int16_t>(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return Variant(static_cast<int32_t>(r));
    return Variant(static_cast<double>(r));
}

Variant invokeHost(Object* o, std::string_view name, InvokeKind kind, Variant* const* args, size_t n) {
    Ref<Object> keep(o);
    try {
        return o->invoke(name, kind, CallArgs(args, n));
    } catch (const ScriptError& e) {
        // an object failing with an HRESULT shows the VBScript number it stands for
        int32_t number = e.number < 0 ? errorFromHresult(e.number) : e.number;
        if (number == e.number) throw;
        ScriptError mapped(number, {}, e.source);
        mapped.helpFile = e.helpFile;
        mapped.helpContext = e.helpContext;
        throw mapped;
    } catch (const StopRequest&) {
        throw;
    } catch (const std::bad_alloc&) {
        raise(err::OutOfMemory);
    } catch (const std::exception& e) {
        throw ScriptError(err::InternalError, e.what());
    }
}
}  // namespace

// Arguments of one call: variables and array elements by reference, the rest evaluated.
struct ArgBuilder {
    static constexpr size_t kInline = 8;
    Variant* inlinePtrs[kInline];
    Variant inlineTemps[kInline];
    std::unique_ptr<Variant*[]> heapPtrs;
    std::unique_ptr<Variant[]> heapTemps;
    std::vector<ArrayData*> locked;
    Variant** ptrs = inlinePtrs;
    Variant* temps = inlineTemps;
    size_t n = 0;

    ArgBuilder(Interpreter& in, Frame& f, const std::vector<ExprPtr>& args) : n(args.size()) {
        if (n > kInline) {
            heapPtrs.reset(new Variant*[n]);
            heapTemps.reset(new Variant[n]);
            ptrs = heapPtrs.get();
            temps = heapTemps.get();
        }
        for (size_t i = 0; i < n; ++i) {
            const Expr* e = args[i].get();
            ptrs[i] = &temps[i];
            switch (e->kind) {
                case ExprKind::Missing:
                    temps[i] = Variant::missing();
                    break;
                case ExprKind::Ident: {
                    // an undeclared variable passed ByRef comes into being, as in VBScript
                    Variant* v = in.variableRef(e, f, true);
                    if (v) ptrs[i] = v;
                    else temps[i] = in.eval(e, f);
                    break;
                }
                case ExprKind::Call: {
                    auto* c = static_cast<const CallExpr*>(e);
                    if (c->callee->kind == ExprKind::Ident && !c->args.empty()) {
                        Variant* v = in.variableRef(c->callee.get(), f, false);
                        if (v && v->isArray()) {
                            bool plain = true;
                            for (const auto& a : c->args)
                                if (a->kind == ExprKind::Missing) plain = false;
                            if (plain) {
                                ArrayData& arr = v->arr();
                                Variant* elem = in.elementRef(arr, c->args, f, c->args.size());
                                ++arr.locks;
                                locked.push_back(&arr);
                                ptrs[i] = elem;
                                break;
                            }
                        }
                    }
                    temps[i] = in.eval(e, f);
                    break;
                }
                default:
                    temps[i] = in.eval(e, f);
                    break;
            }
        }
    }
    ~ArgBuilder() {
        for (ArrayData* a : locked) --a->locks;
    }
};

Variant Interpreter::eval(const Expr* e, Frame& f) {
    switch (e->kind) {
        case ExprKind::Literal: return static_cast<const LiteralExpr*>(e)->value;
        case ExprKind::Ident: return evalIdent(static_cast<const IdentExpr*>(e), f);
        case ExprKind::Me:
            if (!f.me) raise(err::ObjectRequired);
            return Variant(static_cast<Object*>(f.me));
        case ExprKind::Member: return evalMember(static_cast<const MemberExpr*>(e), f, InvokeKind::Get, nullptr, 0);
        case ExprKind::Call: return evalCall(static_cast<const CallExpr*>(e), f, false);
        case ExprKind::Unary: {
            auto* u = static_cast<const UnaryExpr*>(e);
            Variant v = eval(u->operand.get(), f);
            if (u->op == Op::Neg) {
                if (v.type() == VT::Long && v.lng() != INT32_MIN) return Variant(-v.lng());
                return opNeg(v);
            }
            return opNot(v);
        }
        case ExprKind::Binary: return evalBinary(static_cast<const BinaryExpr*>(e), f);
        case ExprKind::New: return newInstance(static_cast<const NewExpr*>(e)->className);
        case ExprKind::Paren: return eval(static_cast<const ParenExpr*>(e)->inner.get(), f);
        case ExprKind::Missing: return Variant::missing();
    }
    return Variant();
}

Variant Interpreter::evalBinary(const BinaryExpr* b, Frame& f) {
    if (static_cast<char*>(__builtin_frame_address(0)) < stackLimit_) raise(err::OutOfStack);
    Variant l = eval(b->lhs.get(), f);
    Variant r = eval(b->rhs.get(), f);
    if (isInt(l) && isInt(r)) {
        int64_t x = intOf(l), y = intOf(r);
        bool wide = l.type() == VT::Long || r.type() == VT::Long;
        switch (b->op) {
            case Op::Add: {
                int64_t v = x + y;
                if (!wide && v >= -32768 && v <= 32767) return Variant(static_cast<int16_t>(v));
                return fromInt64(v);
            }
            case Op::Sub: {
                int64_t v = x - y;
                if (!wide && v >= -32768 && v <= 32767) return Variant(static_cast<int16_t>(v));
                return fromInt64(v);
            }
            case Op::Mul: {
                int64_t v = x * y;
                if (!wide && v >= -32768 && v <= 32767) return Variant(static_cast<int16_t>(v));
                return fromInt64(v);
            }
            case Op::Mod:
                if (y == 0) raise(err::DivByZero);
                return wide ? Variant(static_cast<int32_t>(x % y)) : Variant(static_cast<int16_t>(x % y));
            case Op::IntDiv:
                if (y == 0) raise(err::DivByZero);
                if (!wide && x / y <= 32767) return Variant(static_cast<int16_t>(x / y));
                return fromInt64(x / y);
            case Op::Eq: return Variant(x == y);
            case Op::Ne: return Variant(x != y);
            case Op::Lt: return Variant(x < y);
            case Op::Gt: return Variant(x > y);
            case Op::Le: return Variant(x <= y);
            case Op::Ge: return Variant(x >= y);
            default: break;
        }
    }
    switch (b->op) {
        case Op::Add: return opAdd(l, r);
        case Op::Sub: return opSub(l, r);
        case Op::Mul: return opMul(l, r);
        case Op::Div: return opDiv(l, r);
        case Op::IntDiv: return opIntDiv(l, r);
        case Op::Mod: return opMod(l, r);
        case Op::Pow: return opPow(l, r);
        case Op::Concat:
            if (l.isString() && r.isString()) {
                if (l.str().size() + r.str().size() > kMaxStringLength) raise(err::OutOfStringSpace);
                std::u16string s;
                s.reserve(l.str().size() + r.str().size());
                s += l.str();
                s += r.str();
                return Variant(std::move(s));
            }
            return opConcat(l, r);
        case Op::And: return opAnd(l, r);
        case Op::Or: return opOr(l, r);
        case Op::Xor: return opXor(l, r);
        case Op::Eqv: return opEqv(l, r);
        case Op::Imp: return opImp(l, r);
        case Op::Is: return Variant(opIs(l, r));
        default: break;
    }
    Cmp c = compare(l, r, false, b->lhsLiteral, b->rhsLiteral);
    if (c == Cmp::Null) return Variant::null();
    switch (b->op) {
        case Op::Eq: return Variant(c == Cmp::Equal);
        case Op::Ne: return Variant(c != Cmp::Equal);
        case Op::Lt: return Variant(c == Cmp::Less);
        case Op::Gt: return Variant(c == Cmp::Greater);
        case Op::Le: return Variant(c != Cmp::Greater);
        case Op::Ge: return Variant(c != Cmp::Less);
        default: return Variant();
    }
}

Interpreter::Resolved Interpreter::lookupDynamic(const Name& n, Frame& f, bool forWrite) {
    Resolved r;
    if (f.extras) {
        auto it = f.extras->find(n.lower);
        if (it != f.extras->end()) {
            r.kind = NameKind::Local;
            r.var = it->second.get();
            return r;
        }
    }
    Name& c = const_cast<Name&>(n);
    if (c.cacheGen != generation_) {
        c.cacheGen = generation_;
        c.cacheKind = CacheNotFound;
        c.cachePtr = nullptr;
        if (auto it = globalIndex_.find(n.lower); it != globalIndex_.end()) {
            c.cacheKind = CacheGlobal;
            c.cachePtr = globalPtr(it->second);
        } else if (auto pit = procs_.find(n.lower); pit != procs_.end()) {
            c.cacheKind = CacheProc;
            c.cachePtr = pit->second;
        } else {
            for (const auto& h : hostObjects_)
                if (h.lower == n.lower) {
                    c.cacheKind = CacheHost;
                    c.cachePtr = h.object.get();
                    break;
                }
            if (c.cacheKind == CacheNotFound)
                for (const auto& h : hostObjects_)
                    if (h.membersGlobal && h.object && h.object->hasMember(n.utf8)) {
                        c.cacheKind = CacheGlobalMember;
                        c.cachePtr = h.object.get();
                        break;
                    }
        }
    }
    switch (c.cacheKind) {
        case CacheGlobal:
            r.kind = NameKind::Global;
            r.var = static_cast<Variant*>(c.cachePtr);
            return r;
        case CacheProc:
            r.kind = NameKind::Proc;
            r.proc = static_cast<ProcDef*>(c.cachePtr);
            return r;
        case CacheHost:
            r.kind = NameKind::Dynamic;
            r.object = static_cast<Object*>(c.cachePtr);
            return r;
        case CacheGlobalMember:
            r.kind = NameKind::Dynamic;
            r.object = static_cast<Object*>(c.cachePtr);
            r.globalMember = true;
            return r;
        default:
            break;
    }
    if (n.slot >= 0 && f.proc) {
        // implicit local of a procedure
        if (f.optionExplicit) raise(err::Undefined);
        r.kind = NameKind::Local;
        r.var = f.vars[n.slot];
        return r;
    }
    if (!forWrite) return r;  // Unresolved
    if (f.optionExplicit) raise(err::Undefined);
    if (f.extras) {
        auto& slot = (*f.extras)[n.lower];
        slot = std::make_unique<Variant>();
        r.kind = NameKind::Local;
        r.var = slot.get();
        return r;
    }
    r.kind = NameKind::Global;
    r.var = globalPtr(globalSlot(n.lower, true));
    return r;
}

Interpreter::Resolved Interpreter::resolve(const Name& n, Frame& f, bool forWrite) {
    Resolved r;
    r.kind = n.kind;
    switch (n.kind) {
        case NameKind::Local: r.var = f.vars[n.slot]; break;
        case NameKind::Global: r.var = n.global; break;
        case NameKind::Member:
            if (!f.me) raise(err::ObjectRequired);
            r.var = &f.me->fields[static_cast<size_t>(n.slot)];
            break;
        case NameKind::Proc: case NameKind::MemberProc: r.proc = n.proc; break;
        case NameKind::Builtin: case NameKind::Constant: r.builtin = n.slot; break;
        case NameKind::Dynamic: return lookupDynamic(n, f, forWrite);
        default: break;
    }
    return r;
}

Variant* Interpreter::variableRef(const Expr* e, Frame& f, bool forWrite) {
    if (e->kind != ExprKind::Ident) return nullptr;
    const Name& n = static_cast<const IdentExpr*>(e)->name;
    switch (n.kind) {
        case NameKind::Local: return f.vars[n.slot];
        case NameKind::Global: return n.global;
        case NameKind::Member:
            if (!f.me) raise(err::ObjectRequired);
            return &f.me->fields[static_cast<size_t>(n.slot)];
        case NameKind::Dynamic: return lookupDynamic(n, f, forWrite).var;
        default: return nullptr;
    }
}

Variant Interpreter::evalIdent(const IdentExpr* id, Frame& f) {
    const Name& n = id->name;
    switch (n.kind) {
        case NameKind::Local: return *f.vars[n.slot];
        case NameKind::Global: return *n.global;
        case NameKind::Member:
            if (!f.me) raise(err::ObjectRequired);
            return f.me->fields[static_cast<size_t>(n.slot)];
        case NameKind::Proc: return callProc(n.proc, nullptr, nullptr, 0);
        case NameKind::MemberProc: return invokeMember(f.me, n.lower, InvokeKind::Get, nullptr, 0, true);
        case NameKind::Builtin: return callBuiltin(n.slot, f, nullptr, 0, false);
        case NameKind::Constant: return constants_[static_cast<size_t>(n.slot)];
        case NameKind::Dynamic: {
            Resolved r = lookupDynamic(n, f, false);
            if (r.var) return *r.var;
            if (r.proc) return callProc(r.proc, nullptr, nullptr, 0);
            if (r.object) {
                if (r.globalMember) return invokeHost(r.object, n.utf8, InvokeKind::Get, nullptr, 0);
                return Variant(r.object);
            }
            if (f.optionExplicit) raise(err::Undefined);
            return Variant();
        }
        default: return Variant();
    }
}

Variant* Interpreter::elementRef(ArrayData& a, Variant* const* idx, size_t count) {
    if (count != a.ubounds.size() || count == 0) raise(err::SubscriptRange);
    size_t offset = 0, stride = 1;
    for (size_t k = 0; k < count; ++k) {
        int32_t i = toLong(valueOf(*idx[k]));
        if (i < 0 || i > a.ubounds[k]) raise(err::SubscriptRange);
        offset += static_cast<size_t>(i) * stride;
        stride *= static_cast<size_t>(a.ubounds[k]) + 1;
    }
    return &a.data[offset];
}

Variant* Interpreter::elementRef(ArrayData& a, const std::vector<ExprPtr>& idx, Frame& f, size_t count) {
    if (count != a.ubounds.size() || count == 0) raise(err::SubscriptRange);
    size_t offset = 0, stride = 1;
    for (size_t k = 0; k < count; ++k) {
        int32_t i = toLong(eval(idx[k].get(), f));
        if (i < 0 || i > a.ubounds[k]) raise(err::SubscriptRange);
        offset += static_cast<size_t>(i) * stride;
        stride *= static_cast<size_t>(a.ubounds[k]) + 1;
    }
    return &a.data[offset];
}

Variant Interpreter::callValue(const Variant& callee, Variant* const* args, size_t n, bool statement) {
    if (callee.isArray()) {
        if (n == 0) return callee;
        return *elementRef(callee.arr(), args, n);
    }
    if (callee.isObject()) {
        if (!callee.obj()) raise(err::ObjectNotSet);
        if (n == 0 && !statement) return callee;
        auto* inst = dynamic_cast<ClassInstance*>(callee.obj());
        if (inst) return invokeMember(inst, u"", statement ? InvokeKind::Method : InvokeKind::Get, args, n, false);
        return invokeHost(callee.obj(), "", statement ? InvokeKind::Method : InvokeKind::Get, args, n);
    }
    if (n == 0) return callee;
    raise(err::TypeMismatch);
}

Variant Interpreter::callBuiltin(int index, Frame& f, Variant* const* args, size_t n, bool statement) {
    const BuiltinDef& b = builtins_[static_cast<size_t>(index)];
    if (static_cast<int>(n) < b.minArgs || static_cast<int>(n) > b.maxArgs) raise(err::WrongArgs);
    BuiltinContext ctx{*this, f};
    Variant result = b.fn(ctx, CallArgs(args, n));
    // VBScript's own quirks: a conversion called as a statement cannot hand back its typed
    // result, and a Sub such as Randomize has no value to give an expression.
    if (statement && b.kind == BuiltinKind::Conversion) raise(err::UnsupportedType);
    if (!statement && b.kind == BuiltinKind::Sub) raise(err::TypeMismatch);
    return result;
}

Variant Interpreter::evalCall(const CallExpr* c, Frame& f, bool statement) {
    if (static_cast<char*>(__builtin_frame_address(0)) < stackLimit_) raise(err::OutOfStack);
    const Expr* callee = c->callee.get();
    // "(f)(1)" calls f: parentheses around the callee only group
    while (callee->kind == ExprKind::Paren) callee = static_cast<const ParenExpr*>(callee)->inner.get();
    ArgBuilder args(*this, f, c->args);
    InvokeKind kind = statement ? InvokeKind::Method : InvokeKind::Get;
    if (callee->kind == ExprKind::Ident) {
        const Name& n = static_cast<const IdentExpr*>(callee)->name;
        switch (n.kind) {
            case NameKind::Proc: return callProc(n.proc, nullptr, args.ptrs, args.n);
            case NameKind::MemberProc: return invokeMember(f.me, n.lower, kind, args.ptrs, args.n, true);
            case NameKind::Builtin: return callBuiltin(n.slot, f, args.ptrs, args.n, statement);
            case NameKind::Constant:
                if (args.n) raise(err::TypeMismatch);
                return constants_[static_cast<size_t>(n.slot)];
            case NameKind::Local: case NameKind::Global: case NameKind::Member: {
                Resolved r = resolve(n, f, false);
                Variant v = *r.var;
                return callValue(v, args.ptrs, args.n, statement);
            }
            case NameKind::Dynamic: {
                Resolved r = lookupDynamic(n, f, false);
                if (r.var) {
                    Variant v = *r.var;
                    return callValue(v, args.ptrs, args.n, statement);
                }
                if (r.proc) return callProc(r.proc, nullptr, args.ptrs, args.n);
                if (r.object) {
                    if (r.globalMember) return invokeHost(r.object, n.utf8, kind, args.ptrs, args.n);
                    return callValue(Variant(r.object), args.ptrs, args.n, statement);
                }
                if (f.optionExplicit) raise(err::Undefined);
                if (args.n == 0 && !statement) return Variant();
                raise(err::TypeMismatch);
            }
            default: raise(err::TypeMismatch);
        }
    }
    if (callee->kind == ExprKind::Member)
        return evalMember(static_cast<const MemberExpr*>(callee), f, kind, args.ptrs, args.n);
    Variant v = eval(callee, f);
    return callValue(v, args.ptrs, args.n, statement);
}

Variant Interpreter::evalMember(const MemberExpr* m, Frame& f, InvokeKind kind, Variant* const* args, size_t n) {
    Variant target;
    if (m->object) {
        target = eval(m->object.get(), f);
    } else {
        if (f.with.empty()) raise(err::InvalidReference);
        target = f.with.back();
    }
    if (!target.isObject() || !target.obj()) raise(err::ObjectRequired);
    Object* o = target.obj();
    if (auto* inst = dynamic_cast<ClassInstance*>(o))
        return invokeMember(inst, m->name.lower, kind, args, n, inst == f.me);
    return invokeHost(o, m->name.utf8, kind, args, n);
}

void Interpreter::assignTo(const Expr* target, Variant value, bool isSet, Frame& f) {
    if (isSet) {
        if (!value.isObject()) raise(err::ObjectRequired);
    } else if (value.isObject()) {
        value = valueOf(value);
    }
    InvokeKind kind = isSet ? InvokeKind::Set : InvokeKind::Let;
    switch (target->kind) {
        case ExprKind::Ident: {
            const Name& n = static_cast<const IdentExpr*>(target)->name;
            if (n.isConst) raise(err::IllegalAssignment);
            Resolved r = resolve(n, f, true);
            if (r.var) {
                storeVar(*r.var, std::move(value), isSet);
                return;
            }
            if (n.kind == NameKind::MemberProc) {
                Variant* a[] = {&value};
                invokeMember(f.me, n.lower, kind, a, 1, true);
                return;
            }
            if (r.object && r.globalMember) {
                Variant* a[] = {&value};
                invokeHost(r.object, n.utf8, kind, a, 1);
                return;
            }
            raise(err::IllegalAssignment);
        }
        case ExprKind::Member: {
            Variant* a[] = {&value};
            evalMember(static_cast<const MemberExpr*>(target), f, kind, a, 1);
            return;
        }
        case ExprKind::Call: {
            auto* c = static_cast<const CallExpr*>(target);
            std::vector<Variant> vals;
            vals.reserve(c->args.size() + 1);
            for (const auto& a : c->args) vals.push_back(eval(a.get(), f));
            vals.push_back(std::move(value));
            std::vector<Variant*> ptrs;
            for (auto& v : vals) ptrs.push_back(&v);
            size_t n = ptrs.size();
            const Expr* callee = c->callee.get();
            if (callee->kind == ExprKind::Ident) {
                const Name& nm = static_cast<const IdentExpr*>(callee)->name;
                if (nm.kind == NameKind::MemberProc) {
                    invokeMember(f.me, nm.lower, kind, ptrs.data(), n, true);
                    return;
                }
                Resolved r = resolve(nm, f, false);
                if (r.var) {
                    if (r.var->isArray()) {
                        Variant* elem = elementRef(r.var->arr(), ptrs.data(), n - 1);
                        *elem = std::move(vals.back());
                        return;
                    }
                    if (r.var->isObject() && r.var->obj()) {
                        Variant holder = *r.var;
                        if (auto* inst = dynamic_cast<ClassInstance*>(holder.obj()))
                            invokeMember(inst, u"", kind, ptrs.data(), n, false);
                        else
                            invokeHost(holder.obj(), "", kind, ptrs.data(), n);
                        return;
                    }
                    raise(err::TypeMismatch);
                }
                if (r.object) {
                    if (r.globalMember) invokeHost(r.object, nm.utf8, kind, ptrs.data(), n);
                    else invokeHost(r.object, "", kind, ptrs.data(), n);
                    return;
                }
                if (nm.kind == NameKind::Dynamic && f.optionExplicit) raise(err::Undefined);
                if (nm.kind == NameKind::Dynamic) raise(err::TypeMismatch);
                raise(err::IllegalAssignment);
            }
            if (callee->kind == ExprKind::Member) {
                evalMember(static_cast<const MemberExpr*>(callee), f, kind, ptrs.data(), n);
                return;
            }
            Variant holder = eval(callee, f);
            if (holder.isObject() && holder.obj()) {
                if (auto* inst = dynamic_cast<ClassInstance*>(holder.obj()))
                    invokeMember(inst, u"", kind, ptrs.data(), n, false);
                else
                    invokeHost(holder.obj(), "", kind, ptrs.data(), n);
                return;
            }
            raise(err::TypeMismatch);
        }
        default:
            raise(err::IllegalAssignment);
    }
}

Variant Interpreter::newInstance(const Name& cls) {
    // the built-in RegExp is not replaced by a script class of that name
    if (cls.lower == u"regexp") return Variant(makeRegExp());
    auto it = classes_.find(cls.lower);
    if (it == classes_.end()) raise(err::ClassNotDefined);
    ClassDef* def = it->second;
    Ref<ClassInstance> inst(new ClassInstance(this, def));
    inst->terminateChain_ = terminateChain_;
    Frame f;
    f.me = inst.get();
    for (size_t i = 0; i < def->fields.size(); ++i) {
        const auto& fd = def->fields[i];
        if (!fd.isArray) continue;
        std::vector<int32_t> ub;
        for (const auto& d : fd.dims) ub.push_back(toLong(eval(d.get(), f)));
        ArrayData* a = ub.empty() ? new ArrayData : newArray(ub);
        a->fixed = !ub.empty();
        inst->fields[i] = Variant(a);
    }
    if (def->initialize) callProc(def->initialize, inst.get(), nullptr, 0);
    return Variant(static_cast<Object*>(inst.get()));
}

// ---- script classes

ClassInstance::ClassInstance(Interpreter* interp, ClassDef* def)
    : fields(def->fields.size()), interp_(interp->self), def_(def), name_(def->name.utf8) {
    track(interp->cycles);
}

void ClassInstance::breakCycles() {
    std::vector<Variant> drop(fields.size());
    drop.swap(fields);
    fields.resize(drop.size());
}

Variant ClassInstance::invoke(std::string_view name, InvokeKind kind, CallArgs args) {
    Interpreter* in = *interp_;
    if (!in) raise(err::NoSuchMember);
    std::vector<Variant*> ptrs;
    for (size_t i = 0; i < args.size(); ++i) ptrs.push_back(&args[i]);
    return in->invokeMember(this, toLower(utf8ToUtf16(name)), kind, ptrs.data(), ptrs.size(), false);
}

bool ClassInstance::hasMember(std::string_view name) const {
    if (!*interp_) return false;
    const auto* m = def_->findMember(toLower(utf8ToUtf16(name)));
    return m && m->isPublic;
}

void ClassInstance::finalRelease() noexcept {
    Interpreter* in = *interp_;
    if (!terminated_ && in && def_->terminate) {
        terminated_ = true;
        refs_ = 1;
        in->runTerminate(this);
        if (--refs_ > 0) return;  // Class_Terminate kept a reference
    }
    delete this;
}

// Class_Terminate runs inside a release, where nothing may be thrown. A chain of them (each
// making an object whose end runs the next) is cut off and ends the script at its next
// statement with "Out of stack space", however the releases were queued.
void Interpreter::runTerminate(ClassInstance* inst) noexcept {
    if (static_cast<char*>(__builtin_frame_address(0)) < stackLimit_ + 64 * 1024 || depth_ >= kMaxCallDepth - 100 ||
        inst->terminateChain_ >= kMaxTerminateChain) {
        pendingError_ = err::OutOfStack;
        return;
    }
    int line = curLine_, col = curColumn_;
    ErrState saved = err;
    int outerChain = terminateChain_;
    terminateChain_ = inst->terminateChain_ + 1;
    try {
        callProc(inst->def_->terminate, inst, nullptr, 0);
    } catch (...) {
    }
    terminateChain_ = outerChain;
    err = saved;
    curLine_ = line;
    curColumn_ = col;
}

void Interpreter::raisePending() {
    if (!pendingError_) return;
    int32_t number = pendingError_;
    pendingError_ = 0;
    raise(number);
}

Variant Interpreter::invokeMember(ClassInstance* inst, std::u16string_view lower, InvokeKind kind,
                                  Variant* const* args, size_t n, bool inside) {
    if (!inst) raise(err::ObjectRequired);
    ClassDef* d = inst->def_;
    std::u16string_view name = lower.empty() ? std::u16string_view(d->defaultMember) : lower;
    if (name.empty()) raise(err::NoSuchMember);
    const ClassDef::Member* m = d->findMember(name);
    if (!m || (!m->isPublic && !inside)) raise(err::NoSuchMember);
    Ref<Object> keep(inst);
    if (m->field >= 0) {
        Variant& fv = inst->fields[static_cast<size_t>(m->field)];
        if (kind == InvokeKind::Get || kind == InvokeKind::Method) {
            if (n == 0) return fv;
            Variant copy = fv;
            return callValue(copy, args, n, kind == InvokeKind::Method);
        }
        if (n == 0) raise(err::WrongArgs);
        Variant value = *args[n - 1];
        if (kind == InvokeKind::Set && !value.isObject()) raise(err::ObjectRequired);
        if (kind == InvokeKind::Let && value.isObject()) value = valueOf(value);
        if (n == 1) {
            storeVar(fv, std::move(value), false);
            return Variant();
        }
        if (fv.isArray()) {
            *elementRef(fv.arr(), args, n - 1) = std::move(value);
            return Variant();
        }
        if (fv.isObject() && fv.obj()) {
            Variant holder = fv;
            if (auto* ci = dynamic_cast<ClassInstance*>(holder.obj())) return invokeMember(ci, u"", kind, args, n, false);
            return invokeHost(holder.obj(), "", kind, args, n);
        }
        raise(err::TypeMismatch);
    }
    switch (kind) {
        case InvokeKind::Get:
        case InvokeKind::Method: {
            if (!m->get) raise(err::NoSuchMember);
            if (n > m->get->params.size() && m->get->params.empty()) {
                Variant r = callProc(m->get, inst, nullptr, 0);
                return callValue(r, args, n, kind == InvokeKind::Method);
            }
            return callProc(m->get, inst, args, n);
        }
        case InvokeKind::Let:
            if (m->let) return callProc(m->let, inst, args, n);
            if (m->set && n && args[n - 1]->isObject()) return callProc(m->set, inst, args, n);
            raise(err::NoSuchMember);
        case InvokeKind::Set:
            if (m->set) return callProc(m->set, inst, args, n);
            if (m->let) return callProc(m->let, inst, args, n);
            raise(err::NoSuchMember);
    }
    return Variant();
}

Ref<Object> Interpreter::getRef(const std::u16string& name) {
    auto it = procs_.find(toLower(name));
    if (it == procs_.end()) raise(err::InvalidCall);
    return makeFunctionRef(*this, it->second);
}

}  // namespace vk::vbs
