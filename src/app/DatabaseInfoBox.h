#pragma once

#include <QGroupBox>

class QLabel;

namespace vk::scan {
class ScanEngine;
}

namespace vk::app {

// "Virus Database Info:": version, release date and signature count of the
// loaded database, on the main page and the scan page alike.
class DatabaseInfoBox : public QGroupBox {
    Q_OBJECT
public:
    explicit DatabaseInfoBox(QWidget* parent);

    // The labels, after the engine loaded its database.
    void showDatabase(const scan::ScanEngine& engine);

private:
    QLabel* lblDBVersion_;
    QLabel* lblDBDate_;
    QLabel* lblDBCount_;
};

}  // namespace vk::app
