#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "script/vbs/Errors.h"
#include "script/vbs/Variant.h"

namespace vk::vbs {

enum class InvokeKind {
    Get,     // read a property (also a call used as a value: x = obj.Foo(1))
    Let,     // assign a property: obj.Foo = value
    Set,     // assign an object property: Set obj.Foo = value
    Method,  // call statement: obj.Foo 1, 2
};

// Arguments of a call. Each is writable: when the script passed a variable (or an array
// element) without parentheses, writing to it writes the caller's variable, as ByRef does.
// For Let and Set the assigned value is the last argument. An omitted argument (f 1,,3)
// is a Variant for which isMissing() is true.
class CallArgs {
public:
    CallArgs() = default;
    CallArgs(Variant* const* refs, size_t n) : refs_(refs), n_(n) {}
    size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    Variant& operator[](size_t i) const { return *refs_[i]; }
    // True when argument i was given (present and not omitted).
    bool has(size_t i) const { return i < n_ && !refs_[i]->isMissing(); }

private:
    Variant* const* refs_ = nullptr;
    size_t n_ = 0;
};

// An object a script can use (IDispatch-like). Member names come as the script wrote them;
// compare them case-insensitively (equalsNoCase). An empty name is the default member.
// Raise script errors by throwing ScriptError (438 for an unknown member, 450 for a wrong
// argument count...). A method whose result the script uses (x = obj.Foo(1)) arrives as Get,
// a call statement (obj.Foo 1) as Method: treat the two alike for methods.
class Object : public RefCounted {
public:
    virtual std::string typeName() const = 0;
    virtual Variant invoke(std::string_view name, InvokeKind kind, CallArgs args) = 0;
    // Consulted for objects registered with their members global, to decide whether a bare
    // name in a script is one of theirs.
    virtual bool hasMember(std::string_view /*name*/) const { return false; }
    // For Each support: fill the items and return true, or return false (not a collection).
    virtual bool enumerate(std::vector<Variant>& /*items*/) { return false; }
};


}  // namespace vk::vbs
