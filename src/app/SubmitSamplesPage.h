#pragma once

#include <QWidget>
#include <string>

namespace vk::app {

class Dialogs;
class QtEventPump;
class SubmissionForm;

// The "Submit Suspicious File" page of the main window.
class SubmitSamplesPage : public QWidget {
    Q_OBJECT
public:
    SubmitSamplesPage(QWidget* parent, Dialogs& dialogs, QtEventPump& pump, std::string configIni);
    SubmissionForm* form() const { return form_; }

private:
    SubmissionForm* form_;
};

}  // namespace vk::app
