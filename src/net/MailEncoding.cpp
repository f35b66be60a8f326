#include "net/MailEncoding.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/base/Text.h"
#include "platform/Random.h"
#include "platform/Registry.h"

namespace vk::net {
namespace {

constexpr const char* kDomainList =
    "AERO BIZ COM COOP EDU GOV INFO INT MIL MUSEUM NAME NET ORG PRO AC AD AE AF AG AI AL AM AN AO AQ AR AS AT AU "
    "AW AZ BA BB BD BE BF BG BH BI BJ BM BN BO BR BS BT BV BW BY BZ CA CC CD CF CG CH CI CK CL CM CN CO CR CU CV CX "
    "CY CZ DE DJ DK DM DO DZ EC EE EG EH ER ES ET FI FJ FK FM FO FR GA GD GE GF GG GH GI GL GM GN GP GQ GR GS GT GU "
    "GW GY HK HM HN HR HT HU ID IE IL IM IN IO IQ IR IS IT JE JM JO JP KE KG KH KI KM KN KP KR KW KY KZ LA LB LC LI "
    "LK LR LS LT LU LV LY MA MC MD MG MH MK ML MM MN MO MP MQ MR MS MT MU MV MW MX MY MZ NA NC NE NF NG NI NL NO NP "
    "NR NU NZ OM PA PE PF PG PH PK PL PM PN PR PS PT PW PY QA RE RO RU RW SA SB SC SD SE SG SH SI SJ SK SL SM SN SO "
    "SR ST SV SY SZ TC TD TF TG TH TJ TK TM TN TO TP TR TT TV TW TZ UA UG UK UM US UY UZ VA VC VE VG VI VN VU WF WS "
    "YE YT YU ZA ZM ZW";

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

std::string twoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

std::string lastEightHex(unsigned long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%08llX", value);
    std::string text = buffer;
    return text.substr(text.size() - 8);
}


}  // namespace

std::string encodeBase64Bytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 4 / 3 + bytes.size() / 57 * 2 + 8);
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned b0 = static_cast<unsigned char>(bytes[i]);
        unsigned b1 = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        unsigned b2 = i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        out += kBase64Alphabet[b0 >> 2];
        out += kBase64Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
        out += i + 1 < bytes.size() ? kBase64Alphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
        out += i + 2 < bytes.size() ? kBase64Alphabet[b2 & 63] : '=';
        column += 4;
        if (column == 76) {
            out += "\r\n";
            column = 0;
        }
    }
    if (column) out += "\r\n";
    return out;
}

std::string decodeBase64String(std::string_view text) {
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        const char* at = nullptr;
        for (const char* p = kBase64Alphabet; *p; ++p)
            if (*p == c) at = p;
        if (!at || *at == '=') break;
        buffer = (buffer << 6) | static_cast<unsigned>(at - kBase64Alphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

std::string uuencodeLine(std::string_view piece) {
    auto table = [](unsigned value) { return value == 0 ? '`' : static_cast<char>(32 + value); };
    std::string line(1, table(static_cast<unsigned>(piece.size())));
    for (std::size_t i = 0; i < piece.size(); i += 3) {
        std::size_t left = piece.size() - i;
        unsigned b0 = static_cast<unsigned char>(piece[i]);
        unsigned b1 = left > 1 ? static_cast<unsigned char>(piece[i + 1]) : 0;
        unsigned b2 = left > 2 ? static_cast<unsigned char>(piece[i + 2]) : 0;
        line += table(b0 >> 2);
        line += table(((b0 & 3) << 4) | (b1 >> 4));
        if (left == 1) {
            line += "==";
            continue;
        }
        line += table(((b1 & 15) << 2) | (b2 >> 6));
        if (left == 2) {
            line += '=';
            continue;
        }
        line += table(b2 & 63);
    }
    return line;
}

std::string toWireText(std::string_view utf8) { return platform::utf8ToAnsi(utf8).value_or(std::string(utf8)); }

bool hasEightBitCharacters(std::string_view wire) {
    for (char c : wire)
        if (static_cast<unsigned char>(c) > 126) return true;
    return false;
}

std::string encodeHeaderText(std::string_view wire, bool quote) {
    if (!hasEightBitCharacters(wire)) return quote ? "\"" + std::string(wire) + "\"" : std::string(wire);
    std::string out;
    for (std::size_t i = 0; i < wire.size(); i += 42) {
        if (i) out += "\r\n\t";
        std::string encoded = encodeBase64Bytes(wire.substr(i, 42));
        std::string flat;
        for (char c : encoded)
            if (c != '\r' && c != '\n') flat += c;
        out += "=?ISO-8859-1?B?" + flat + "?=";
    }
    return out;
}

std::string prepareMessageText(std::string_view wire) {
    if (wire.empty()) return {};
    std::string separator;
    std::string joiner;
    if (wire.find("\r\n") != std::string_view::npos) separator = "\r\n";
    else if (wire.find('\r') != std::string_view::npos) separator = "\r";
    // Bare LF lines (the Linux norm) would reach the wire unstuffed and as
    // bare LFs, which SMTP forbids: they become CR LF lines.
    else if (wire.find('\n') != std::string_view::npos) separator = "\n", joiner = "\r\n";
    if (joiner.empty()) joiner = separator;
    std::vector<std::string> lines;
    if (separator.empty()) {
        lines.emplace_back(wire);
    } else {
        std::size_t start = 0;
        while (true) {
            std::size_t at = wire.find(separator, start);
            lines.emplace_back(wire.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
            if (at == std::string_view::npos) break;
            start = at + separator.size();
        }
    }
    const std::string breakWith = joiner.empty() ? std::string("\r\n") : joiner;
    std::string out;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string line = lines[n];
        if (!line.empty() && line[0] == '.') line.insert(0, ".");
        std::string broken;
        while (line.size() >= 999) {
            std::size_t space = line.rfind(' ', 997);
            std::size_t cut = space == std::string::npos ? 998 : space + 1;
            broken += line.substr(0, cut) + breakWith;
            line.erase(0, cut);
        }
        broken += line;
        if (n) out += joiner;
        out += broken;
    }
    return out;
}

bool isValidIPv4(std::string_view text) {
    std::vector<std::string_view> parts = split(text, '.');
    if (parts.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        std::string_view p = parts[i];
        if (p.empty() || p.size() > 3 || p.find_first_not_of("0123456789") != std::string_view::npos) return false;
        int value = std::atoi(std::string(p).c_str());
        if (value > (i == 0 ? 239 : 255)) return false;
    }
    return true;
}

bool isValidDomain(std::string_view text) {
    std::string domain = base::asciiUpper(base::trim(text, " "));
    if (domain.empty()) return false;
    if (isValidIPv4(domain)) return true;
    std::vector<std::string_view> parts = split(domain, '.');
    if (parts.size() < 2) return false;
    return std::string_view(kDomainList).find(parts.back()) != std::string_view::npos;
}

bool isValidEmailAddress(std::string_view text) {
    std::vector<std::string_view> parts = split(text, '@');
    return parts.size() == 2 && isValidDomain(parts[1]);
}

std::string timeZoneText(long minutesEast) {
    long bias = -minutesEast;
    long hours = -bias / 60;  // truncated toward zero
    long minutes = (bias < 0 ? -bias : bias) % 60;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, hours < 0 ? "-%02ld" : "%02ld", hours < 0 ? -hours : hours);
    std::string text = std::string(buffer) + twoDigits(static_cast<int>(minutes));
    if (text.find('-') == std::string::npos) text.insert(0, "+");
    return text;
}

std::string localTimeZoneText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return timeZoneText(local.tm_gmtoff / 60);
}

std::string mailDate(const std::tm& local, const std::string& zone) {
    return std::string(kDays[local.tm_wday % 7]) + ", " + std::to_string(local.tm_mday) + " " +
           kMonths[local.tm_mon % 12] + " " + std::to_string(local.tm_year + 1900) + " " + twoDigits(local.tm_hour) +
           ":" + twoDigits(local.tm_min) + ":" + twoDigits(local.tm_sec) + " " + zone;
}

std::string messageIdStamp(const std::tm& utc, int milliseconds) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d%03d.", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, milliseconds);
    std::string stamp = buffer;
    for (int i = 0; i < 20; ++i) stamp += kBase64Alphabet[static_cast<int>(platform::randomUnit() * 61)];
    return stamp;
}

std::string mimeBoundary(const std::tm& local, double secondsOfDay) {
    // Days since 30 December 1899: the Unix day number plus 25,569.
    std::tm midnight{};
    midnight.tm_year = local.tm_year;
    midnight.tm_mon = local.tm_mon;
    midnight.tm_mday = local.tm_mday;
    long serial = static_cast<long>(::timegm(&midnight) / 86400) + 25569;
    auto fraction = static_cast<unsigned long long>(secondsOfDay / 86400.0 * 1e8);
    return "----_=_NextPart_000_" + lastEightHex(static_cast<unsigned long long>(serial)) + "." +
           lastEightHex(fraction);
}

std::string getContentType(std::string_view file, std::string_view fallback) {
    std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos) return std::string(fallback);
    platform::Registry& registry = platform::systemRegistry();
    platform::RegHandle key = 0;
    if (registry.openKey(platform::kHkeyClassesRoot, file.substr(dot), platform::kKeyQueryValue, key) !=
        platform::kErrorSuccess)
        return std::string(fallback);
    std::uint32_t type = 0;
    std::string data;
    long rc = registry.queryValue(key, "Content Type", type, data);
    registry.closeKey(key);
    if (rc != platform::kErrorSuccess || (type != platform::kRegSz && type != platform::kRegExpandSz))
        return std::string(fallback);
    std::size_t nul = data.find('\0');
    if (nul != std::string::npos) data.erase(nul);
    return data;
}

}  // namespace vk::net
