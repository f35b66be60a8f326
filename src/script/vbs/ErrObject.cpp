// The Err object and GetRef's function objects.
#include "script/vbs/Interpreter.h"
#include "script/vbs/StdObjects.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

class ErrObject : public Object {
public:
    explicit ErrObject(Interpreter& in) : in_(in.self) {}
    std::string typeName() const override { return "ErrObject"; }

    bool hasMember(std::string_view n) const override {
        for (const char* m : {"number", "description", "source", "helpfile", "helpcontext", "raise", "clear"})
            if (equalsNoCase(n, m)) return true;
        return false;
    }

    Variant invoke(std::string_view name, InvokeKind kind, CallArgs args) override {
        Interpreter* in = *in_;
        if (!in) raise(err::NoSuchMember);
        ErrState& e = in->err;
        bool put = kind == InvokeKind::Let || kind == InvokeKind::Set;
        if (name.empty() || equalsNoCase(name, "number")) {
            if (put) {
                e.number = toLong(args[args.size() - 1]);
                if (e.description.empty()) e.description = u16(errorText(e.number));
                return Variant();
            }
            return Variant(e.number);
        }
        if (equalsNoCase(name, "description")) {
            if (put) { e.description = toStr(args[args.size() - 1]); return Variant(); }
            return Variant(e.description);
        }
        if (equalsNoCase(name, "source")) {
            if (put) { e.source = toStr(args[args.size() - 1]); return Variant(); }
            return Variant(e.source);
        }
        if (equalsNoCase(name, "helpfile")) {
            if (put) { e.helpFile = toStr(args[args.size() - 1]); return Variant(); }
            return Variant(e.helpFile);
        }
        if (equalsNoCase(name, "helpcontext")) {
            if (put) { e.helpContext = toLong(args[args.size() - 1]); return Variant(); }
            return Variant(e.helpContext);
        }
        if (equalsNoCase(name, "clear")) {
            e.clear();
            return Variant();
        }
        if (equalsNoCase(name, "raise")) {
            if (!args.has(0)) raise(err::ArgNotOptional);
            int32_t number = toLong(args[0]);
            if (number == 0) raise(err::InvalidCall);
            std::string source = args.has(1) ? toUtf8(args[1]) : std::string();
            std::string desc = args.has(2) ? toUtf8(args[2]) : std::string();
            ScriptError ex(number, desc, source);
            if (args.has(3)) ex.helpFile = toUtf8(args[3]);
            if (args.has(4)) ex.helpContext = toLong(args[4]);
            throw ex;
        }
        raise(err::NoSuchMember);
    }

private:
    std::shared_ptr<Interpreter*> in_;
};

class FunctionRef : public Object {
public:
    FunctionRef(Interpreter& in, ProcDef* p) : in_(in.self), proc_(p) {}
    std::string typeName() const override { return "Object"; }
    Variant invoke(std::string_view name, InvokeKind kind, CallArgs args) override {
        Interpreter* in = *in_;
        if (!in || !name.empty() || kind == InvokeKind::Let || kind == InvokeKind::Set) raise(err::NoSuchMember);
        std::vector<Variant*> ptrs;
        for (size_t i = 0; i < args.size(); ++i) ptrs.push_back(&args[i]);
        return in->callProc(proc_, nullptr, ptrs.data(), ptrs.size());
    }

private:
    std::shared_ptr<Interpreter*> in_;
    ProcDef* proc_;
};

}  // namespace

Ref<Object> makeErrObject(Interpreter& interp) { return Ref<Object>(new ErrObject(interp)); }
Ref<Object> makeFunctionRef(Interpreter& interp, ProcDef* proc) { return Ref<Object>(new FunctionRef(interp, proc)); }

}  // namespace vk::vbs
