#pragma once

#include <string>

namespace vk::scan {

class ScanEngine;

// Where and how the Farwatch report is sent: config.ini [Farwatch] keys
// Sender, Recipient, MailDomain (build-time defaults), SmtpPort (25), and an
// optional relay SmtpHost with SmtpUser/SmtpPassword that replaces the MX
// lookup; TlsVerify (1) checks the server's certificate when it offers
// STARTTLS; MxTimeout (seconds, 5) bounds the wait for the DNS reply.
struct FarwatchMailSettings {
    std::string sender;
    std::string recipient;
    std::string mailDomain;
    long smtpPort = 25;
    std::string smtpHost;
    std::string smtpUser;
    std::string smtpPassword;
    bool tlsVerify = true;
    double mxTimeout = 5;
};

FarwatchMailSettings loadFarwatchMailSettings(const std::string& configIni);

// [Farwatch] NoFillupFormDisplay as a Boolean; text that is neither a number
// nor True/False counts as false.
bool farwatchEnrolmentCompleted(const std::string& configIni);

// Reads [Farwatch] into the engine: the switch ("EnableFarwatch" as a number,
// non-zero is on), the reporter's Name, Address and Email, and the mail settings.
void loadFarwatchSettings(ScanEngine& engine, const std::string& configIni);

// The report's text for the engine's reporter and log.
std::string farwatchReportBody(const ScanEngine& engine);

}  // namespace vk::scan
