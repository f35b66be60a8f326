#include "app/SelectAllOnFocus.h"

#include <QEvent>
#include <QLineEdit>
#include <QTimer>

namespace vk::app {
namespace {

class SelectAllFilter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            auto* edit = static_cast<QLineEdit*>(watched);
            // After the mouse press that gave the focus has placed the caret.
            QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
        }
        return false;
    }
};

}  // namespace

void selectAllOnFocus(QLineEdit* edit) { edit->installEventFilter(new SelectAllFilter(edit)); }

}  // namespace vk::app
