#pragma once

#include <QWidget>
#include <array>

class QCheckBox;

namespace vk::app {

// Page 5: whether autorun runs, per drive type.
class AutorunManagerPage : public QWidget {
    Q_OBJECT
public:
    explicit AutorunManagerPage(QWidget* parent);

    // Sets the boxes from the policy; writes nothing.
    void loadAutorunSettings();

private:
    std::array<QCheckBox*, 6> boxes_{};
    bool autorunLoading_ = false;
};

}  // namespace vk::app
