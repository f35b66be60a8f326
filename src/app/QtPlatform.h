#pragma once

#include <QElapsedTimer>
#include <functional>

#include "platform/Clipboard.h"
#include "platform/EventPump.h"

namespace vk::app {

// Lets Qt process pending events, at most every intervalMs of wall time: the
// engines call pump() far more often than the window needs.
class QtEventPump final : public platform::EventPump {
public:
    explicit QtEventPump(int intervalMs = 15);
    void pump() override;
    // Processes events now, whatever the interval.
    void pumpNow();
    // Called after every real pump (tests press buttons from here).
    void setAfterPump(std::function<void()> hook) { afterPump_ = std::move(hook); }

private:
    int intervalMs_;
    QElapsedTimer timer_;
    std::function<void()> afterPump_;
};

class QtClipboard final : public platform::Clipboard {
public:
    void setText(const std::string& text) override;
};

}  // namespace vk::app
