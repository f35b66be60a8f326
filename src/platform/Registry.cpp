#include "platform/Registry.h"

#include <atomic>

#include "platform/linux/RegistryStore.h"

namespace vk::platform {
namespace {
std::atomic<Registry*> g_override{nullptr};
}

Registry& systemRegistry() {
    if (Registry* r = g_override.load()) return *r;
    static RegistryStore store(RegistryStore::defaultFolder());
    return store;
}

void setSystemRegistry(Registry* registry) { g_override.store(registry); }

}  // namespace vk::platform
