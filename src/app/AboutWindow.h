#pragma once

#include <QDialog>
#include <array>

namespace vk::app {

class LinkLabel;

// "About VandrelKast...": version, acknowledgements and the maker's pages.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* owner);
    const std::array<LinkLabel*, 3>& links() const { return links_; }

protected:
    // Moving over the window leaves every link in the button text colour.
    bool event(QEvent* event) override;

private:
    std::array<LinkLabel*, 3> links_{};
};

}  // namespace vk::app
