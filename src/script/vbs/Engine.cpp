#include "script/vbs/Engine.h"

#include "script/vbs/Interpreter.h"

namespace vk::vbs {

Engine::Engine() : impl_(std::make_unique<Interpreter>()) {}
Engine::~Engine() = default;

void Engine::addObject(const std::string& name, Ref<Object> object, bool membersGlobal) {
    impl_->addObject(name, std::move(object), membersGlobal);
}

void Engine::registerProgId(const std::string& progId, ObjectFactory factory) {
    impl_->registerProgId(progId, std::move(factory));
}

ScriptResult Engine::executeStatement(const std::string& text) { return impl_->executeStatement(text); }
ScriptResult Engine::eval(const std::string& expression, Variant& result) { return impl_->evaluate(expression, result); }
ScriptResult Engine::call(const std::string& name, std::vector<Variant>& args, Variant& result) {
    return impl_->callProcedure(name, args, result);
}
bool Engine::global(const std::string& name, Variant& value) const { return impl_->getGlobal(name, value); }
void Engine::requestStop() { impl_->stopFlag.store(true); }
void Engine::setDialogs(Dialogs* dialogs) { impl_->dialogs = dialogs; }
void Engine::setPump(std::function<void()> pump, unsigned everyStatements) {
    impl_->pump = std::move(pump);
    impl_->pumpInterval = everyStatements ? everyStatements : 1;
}

}  // namespace vk::vbs
