#pragma once

namespace vk::platform {

// Long operations call pump() between units of work so the owner can keep a
// window alive, check signals, or (in tests) press Stop in the middle.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void pump() = 0;
};

// For callers that have nothing to service between units of work.
class NullEventPump final : public EventPump {
public:
    void pump() override {}
};

}  // namespace vk::platform
