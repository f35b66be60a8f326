#include "cli/FarwatchReport.h"

#include "net/SendMail.h"
#include "scan/FarwatchSettings.h"
#include "scan/ScanEngine.h"

namespace vk::cli {
namespace {

class StatusPrinter final : public net::SendMailEvents {
public:
    explicit StatusPrinter(std::ostream& err) : err_(err) {}
    bool sent = false;
    void sendSuccesful() override {
        sent = true;
        err_ << "vkscan: Farwatch report sent\n";
    }
    void sendFailed(const std::string& explanation) override {
        std::string text = explanation;
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "; ");
        while (!text.empty() && (text.back() == ' ' || text.back() == ';')) text.pop_back();
        err_ << "vkscan: Farwatch report not sent: " << text << "\n";
    }
    void status(const std::string& status) override { err_ << "vkscan: " << status << "\n"; }

private:
    std::ostream& err_;
};

}  // namespace

bool sendFarwatchReport(scan::ScanEngine& engine, const std::string& configIni, std::ostream& err) {
    scan::loadFarwatchSettings(engine, configIni);
    if (!scan::farwatchEnrolmentCompleted(configIni) || !engine.enableFarwatch()) {
        err << "vkscan: Farwatch report not sent: reporting is off (enrol in the program's Farwatch form)\n";
        return false;
    }
    if (engine.farwatchLog().empty()) {
        err << "vkscan: Farwatch report not sent: nothing was found\n";
        return false;
    }
    StatusPrinter printer(err);
    net::SendMail& mail = engine.farwatchMail();
    mail.setEvents(&printer);
    engine.executeFarwatch();
    mail.setEvents(nullptr);
    return printer.sent;
}

}  // namespace vk::cli
