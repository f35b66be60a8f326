#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/ScriptedDialogs.h"
#include "scan/SignatureEntry.h"
#include "support/TempDir.h"

namespace vk::apptest {

// Answers the program's own modal dialogs (frmDetection, frmStatistics, ...)
// in order as they open. A modal window with no handler left is recorded
// and closed so a faulty test cannot hang.
class ModalDriver {
public:
    using Handler = std::function<void(QWidget*)>;
    ModalDriver();
    ~ModalDriver();
    void expect(const char* objectName, Handler handler);
    bool allHandled() const { return handlers_.empty(); }
    const std::vector<std::string>& seen() const { return seen_; }
    const std::vector<std::string>& unexpected() const { return unexpected_; }

private:
    void poll();
    QTimer timer_;
    std::deque<std::pair<std::string, Handler>> handlers_;
    std::vector<std::string> seen_;
    std::vector<std::string> unexpected_;
};

// A program folder: signatures.dat built from entries, and config.ini text;
// $VANDRELKAST_HOME points at it while the object lives.
class ProgramHome {
public:
    explicit ProgramHome(const std::vector<scan::SignatureEntry>& entries,
                         const std::string& config = "[Farwatch]\nNoFillupFormDisplay=1\n",
                         const std::string& compatibleVersion = "1.4.0");
    std::string configIni() const { return (dir.path() / "config.ini").string(); }
    std::string database() const { return (dir.path() / "signatures.dat").string(); }
    test::TempDir dir;

private:
    std::unique_ptr<test::ScopedEnv> env_;
    std::unique_ptr<test::ScopedEnv> dataEnv_;  // the quarantine stays inside the test's folder
};

scan::SignatureEntry stringSignature(const std::string& name, const std::string& bytes);

template <class T>
T* child(QWidget* parent, const char* name) {
    return parent->findChild<T*>(QString::fromLatin1(name));
}

void clickChild(QWidget* parent, const char* name);

}  // namespace vk::apptest
