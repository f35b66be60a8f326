#pragma once

#include <memory>
#include <unordered_set>

#include "script/vbs/Object.h"

namespace vk::vbs {

class Interpreter;
struct ProcDef;

class Collectable;

// Objects that can hold other objects: reference cycles among them (a class whose field
// points back at itself, a Dictionary stored in itself) are broken when the engine goes.
struct CycleRegistry {
    std::unordered_set<Collectable*> live;
};

class Collectable : public Object {
public:
    void track(const std::shared_ptr<CycleRegistry>& r) {
        reg_ = r;
        r->live.insert(this);
    }
    // Drop everything this object holds.
    virtual void breakCycles() = 0;

protected:
    ~Collectable() override {
        if (reg_) reg_->live.erase(this);
    }

private:
    std::shared_ptr<CycleRegistry> reg_;
};

Ref<Object> makeErrObject(Interpreter& interp);
Ref<Object> makeDictionary(const std::shared_ptr<CycleRegistry>& cycles = nullptr);  // Scripting.Dictionary
Ref<Object> makeRegExp();      // VBScript.RegExp / New RegExp
// GetRef: an object whose default member calls the procedure
Ref<Object> makeFunctionRef(Interpreter& interp, ProcDef* proc);

}  // namespace vk::vbs
