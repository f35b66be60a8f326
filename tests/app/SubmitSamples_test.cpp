#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/SubmissionForm.h"
#include "app/SubmitFileDialog.h"
#include "app/SubmitSamplesPage.h"
#include "app/XpProgressBar.h"
#include "platform/IniProfile.h"
#include "support/FtpPeer.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::FtpPeer;
using vk::test::readFile;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

class SubmitPage : public ::testing::Test {
protected:
    void SetUp() override {
        vk::platform::clearProfileCache();
        window = std::make_unique<MainWindow>(dialogs, StartupOptions{0, true});
        ASSERT_TRUE(window->startUp({}));
        window->cmdHeaderClick(MainWindow::kSubmitSamples);
        page = window->submitSamplesPage();
        ASSERT_TRUE(page);
    }
    void fill(QWidget* form, const QString& file, const QString& name, const QString& address, const QString& reason) {
        child<QLineEdit>(form, "txtSubmitFile")->setText(file);
        child<QLineEdit>(form, "txtName")->setText(name);
        child<QLineEdit>(form, "txtAddress")->setText(address);
        child<QPlainTextEdit>(form, "txtReason")->setPlainText(reason);
    }
    void serveFrom(const FtpPeer& peer) {
        vk::platform::writeProfileString(home.configIni(), "SubmitSamples", "Server",
                                         "127.0.0.1:" + std::to_string(peer.port()));
        vk::platform::writeProfileString(home.configIni(), "SubmitSamples", "Username", FtpPeer::kUser);
        vk::platform::writeProfileString(home.configIni(), "SubmitSamples", "Password", FtpPeer::kPassword);
        vk::platform::writeProfileString(home.configIni(), "SubmitSamples", "Folder", "/");
    }
    ProgramHome home{{stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")}};
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    SubmitSamplesPage* page = nullptr;
    TempDir work;
};

}  // namespace

TEST_F(SubmitPage, BrowseFillsThePathAndRefusalsPutTheFocusOnTheField) {
    EXPECT_EQ(child<QPushButton>(page, "cmdSendFile")->text(), QStringLiteral("&Send to VandrelKast Labs"));
    EXPECT_TRUE(child<QLabel>(page, "lblExplanation")->text().startsWith(QStringLiteral("If you found new viruses")));
    const std::string sample = work.write("odd.exe", "MZ").string();
    dialogs.answerFile(QString::fromStdString(sample));
    clickChild(page, "cmdBrowse");
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].text, QStringLiteral("Send suspicious file..."));
    EXPECT_EQ(dialogs.calls()[0].request.filter, QStringLiteral("All Files (*.*)|*.*"));
    EXPECT_EQ(child<QLineEdit>(page, "txtSubmitFile")->text(), QString::fromStdString(sample));

    struct Case {
        QString file, name, address, reason;
        const char* focus;
        QString message;
    };
    const QString file = QString::fromStdString(sample);
    const Case cases[] = {
        {QStringLiteral(" "), "n", "a", "r", "txtSubmitFile", QStringLiteral("Please enter the file you want to send.")},
        {file, QStringLiteral("  "), "a", "r", "txtName", QStringLiteral("Please enter your full name.")},
        {file, "n", "a", QStringLiteral("   "), "txtReason", QStringLiteral("Please state your reason why you selected "
                                                                        "this file to be sent to VandrelKast Labs for "
                                                                        "analysis. Include also the symptoms observed.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus);
        dialogs.clear();
        fill(page, c.file, c.name, c.address, c.reason);
        clickChild(page, "cmdSendFile");
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].text, c.message);
        EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Error"));
        EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Critical);
        EXPECT_EQ(window->focusWidget(), child<QWidget>(page, c.focus));
    }
}

TEST_F(SubmitPage, TheSampleArrivesAndTheUserIsThanked) {
    if (!FtpPeer::available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
    FtpPeer peer(work / "root");
    ASSERT_TRUE(peer.running()) << peer.log();
    serveFrom(peer);
    const std::string content(100000, 'w');
    fill(page, QString::fromStdString(work.write("big.bin", content).string()), QStringLiteral("Ann"),
         QStringLiteral("Street 1"), QStringLiteral("Odd"));
    clickChild(page, "cmdSendFile");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("The file has been successfully submitted. Thanks for sending."));
    EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Submission Complete"));
    EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Information);
    EXPECT_EQ(child<XpProgressBar>(page, "prgSubmit")->percent(), 100);
    std::vector<fs::path> folders;
    for (const auto& e : fs::directory_iterator(work / "root")) folders.push_back(e.path());
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(readFile(folders[0] / "big.bin"), content);
    EXPECT_EQ(readFile(folders[0] / "info.txt"), "Name: Ann\r\nAddress: Street 1\r\nReason:\r\nOdd\r\n");
}

TEST_F(SubmitPage, TheStandAloneDialogSubmitsTheSameWayAndCloses) {
    if (!FtpPeer::available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
    FtpPeer peer(work / "root");
    ASSERT_TRUE(peer.running()) << peer.log();
    serveFrom(peer);
    const std::string sample = work.write("from-process.exe", "MZ payload").string();
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<SubmitFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        sawDialog = true;
        EXPECT_EQ(dialog->objectName(), QStringLiteral("frmSubmitFile"));
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Submit Suspicious Files and Virus Samples"));
        EXPECT_EQ(child<QLineEdit>(dialog, "txtSubmitFile")->text(), QString::fromStdString(sample));
        fill(dialog, QString::fromStdString(sample), QStringLiteral("Bo"), QStringLiteral("Road 2"), QStringLiteral("Why"));
        clickChild(dialog, "cmdSendFile");
        clickChild(dialog, "cmdClose");
    });
    window->showSubmitFileDialog(QString::fromStdString(sample));
    EXPECT_TRUE(sawDialog);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Submission Complete"));
}
