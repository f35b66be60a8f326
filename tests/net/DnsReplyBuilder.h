#pragma once

#include <cstdint>
#include <string>

namespace vk::test {

// A DNS reply to the MX query for a domain, record by record.
class DnsReplyBuilder {
public:
    explicit DnsReplyBuilder(const std::string& domain, std::uint16_t id = 4575) {
        bytes_ = {static_cast<char>(id >> 8), static_cast<char>(id & 0xFF), '\x81', '\x80', '\0', '\x01',
                  '\0', '\0', '\0', '\0', '\0', '\0'};
        bytes_ += name(domain);
        bytes_ += std::string("\x00\x0F\x00\x01", 4);
    }

    static std::string name(const std::string& domain) {
        std::string out;
        std::size_t start = 0;
        while (start <= domain.size()) {
            std::size_t dot = domain.find('.', start);
            std::string label = domain.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
            out += static_cast<char>(label.size());
            out += label;
            if (dot == std::string::npos) break;
            start = dot + 1;
        }
        return out + std::string(1, '\0');
    }

    void mx(const std::string& host, int preference) { mxRaw(preference, name(host)); }

    void mxRaw(int preference, const std::string& exchange) {
        std::string data = {static_cast<char>(preference >> 8), static_cast<char>(preference & 0xFF)};
        record(15, data + exchange);
    }

    void cname(const std::string& target) { record(5, name(target)); }

    void record(int type, const std::string& data) {
        bytes_ += std::string("\xC0\x0C", 2);
        bytes_ += {'\0', static_cast<char>(type), '\0', '\x01', '\0', '\0', '\x0E', '\x10'};
        bytes_ += {static_cast<char>(data.size() >> 8), static_cast<char>(data.size() & 0xFF)};
        bytes_ += data;
        ++answers_;
        bytes_[6] = static_cast<char>(answers_ >> 8);
        bytes_[7] = static_cast<char>(answers_ & 0xFF);
    }

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
    int answers_ = 0;
};

}  // namespace vk::test
