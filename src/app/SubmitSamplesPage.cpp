#include "app/SubmitSamplesPage.h"

#include <QVBoxLayout>

#include "app/SubmissionForm.h"

namespace vk::app {

SubmitSamplesPage::SubmitSamplesPage(QWidget* parent, Dialogs& dialogs, QtEventPump& pump, std::string configIni)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    form_ = new SubmissionForm(this, dialogs, pump, std::move(configIni));
    layout->addWidget(form_);
}

}  // namespace vk::app
