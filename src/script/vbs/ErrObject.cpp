// The Err object and GetRef's function objects.
#include "script/vbs/Interpreter.h"
#include "script/vbs/StdObjects.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

// Err.Raise's number: 0 and positive numbers beyond 16 bits are invalid, an HRESULT becomes
// the VBScript number it stands for.
int32_t raisedNumber(const Variant& v) {
    int32_t number = toLong(v);
    if (number == 0 || number > 0xFFFF) raise(err::InvalidCall);
    return number < 0 ? errorFromHresult(number) : number;
}

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
            if (!args.has(0)) raise(err::WrongArgs);
            int32_t number = raisedNumber(args[0]);
            // what the call leaves out is kept from the error already recorded
            std::string source = args.has(1) ? toUtf8(args[1]) : utf16ToUtf8(e.source);
            std::string desc = args.has(2) ? toUtf8(args[2]) : utf16ToUtf8(e.description);
            ScriptError ex(number, desc, source);
            ex.helpFile = args.has(3) ? toUtf8(args[3]) : utf16ToUtf8(e.helpFile);
            ex.helpContext = args.has(4) ? toLong(args[4]) : e.helpContext;
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
