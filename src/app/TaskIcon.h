#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace vk::app {

// The program's icon in the notification area. Works without a tray: the
// icon is then simply not seen.
class TaskIcon : public QObject {
    Q_OBJECT
public:
    // The tooltip field held 64 bytes with its NUL.
    static constexpr int kTipLength = 63;

    explicit TaskIcon(QObject* parent = nullptr);
    ~TaskIcon() override;

    QString tipText() const { return tipText_; }
    void setTipText(const QString& text) { tipText_ = text; }
    QIcon icon() const { return icon_; }
    void setIcon(const QIcon& icon) { icon_ = icon; }

    // Adds the icon the first time, updates tooltip and icon afterwards.
    void showButton();
    void hideButton();

    bool added() const { return added_; }
    // The tooltip as the tray shows it (cut to kTipLength characters).
    QString shownTip() const;
    QSystemTrayIcon* trayIcon() const { return tray_; }

    struct Notification {
        QString title;
        QString text;
    };
    // A balloon from the icon; kept as the last one even where the tray
    // cannot show it.
    void showNotification(const QString& title, const QString& text);
    const Notification& lastNotification() const { return lastNotification_; }

signals:
    void click();
    void rightClick();
    void dblClick();

private:
    void activated(int reason);

    QString tipText_;
    QIcon icon_;
    QSystemTrayIcon* tray_ = nullptr;
    bool added_ = false;
    Notification lastNotification_;
};

}  // namespace vk::app
