#pragma once

#include <QLabel>
#include <QUrl>

namespace vk::app {

// A label that opens a web page: blue under the mouse, the button text colour
// otherwise.
class LinkLabel final : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, const QUrl& url, QWidget* parent);
    const QUrl& url() const { return url_; }
    void setHover(bool hover);
    bool hovered() const { return hover_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QUrl url_;
    bool hover_ = false;
};

}  // namespace vk::app
