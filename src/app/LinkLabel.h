#pragma once

#include <QLabel>
#include <QUrl>
#include <functional>

namespace vk::app {

// A label that acts as a link: blue under the mouse, the button text colour
// otherwise. A click opens its web page, or runs its action.
class LinkLabel final : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, const QUrl& url, QWidget* parent);
    LinkLabel(const QString& text, QWidget* parent, std::function<void()> action);
    const QUrl& url() const { return url_; }
    void setHover(bool hover);
    bool hovered() const { return hover_; }
    // What a left click does.
    void click();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QUrl url_;
    std::function<void()> action_;
    bool hover_ = false;
};

}  // namespace vk::app
