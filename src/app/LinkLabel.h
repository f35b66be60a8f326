#pragma once

#include <QLabel>
#include <functional>

namespace vk::app {

// A label that acts as a link: blue under the mouse, the button text colour
// otherwise, and a click runs the action.
class LinkLabel final : public QLabel {
public:
    LinkLabel(const QString& text, QWidget* parent, std::function<void()> action = {});
    void setAction(std::function<void()> action) { action_ = std::move(action); }
    void click() {
        if (action_) action_();
    }

protected:
    void enterEvent(QEnterEvent*) override { setHover(true); }
    void leaveEvent(QEvent*) override { setHover(false); }
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setHover(bool hover);
    std::function<void()> action_;
};

}  // namespace vk::app
