#include "net/MxReply.h"

#include <algorithm>

#include "platform/base/Text.h"

namespace vk::net {
namespace {

constexpr std::size_t kMaxName = 255;
constexpr int kMaxPointerHops = 16;
constexpr std::uint16_t kTypeMx = 15;

class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}

    bool u16(std::size_t at, std::uint16_t& out) const {
        if (at + 2 > data_.size()) return false;
        out = static_cast<std::uint16_t>((byte(at) << 8) | byte(at + 1));
        return true;
    }

    // A name at pos; next is where the record continues after it.
    bool name(std::size_t pos, std::string& out, std::size_t& next) const {
        out.clear();
        bool jumped = false;
        int hops = 0;
        while (true) {
            if (pos >= data_.size()) return false;
            unsigned length = byte(pos);
            if (length == 0) {
                if (!jumped) next = pos + 1;
                return true;
            }
            if (length == 0xC0) {
                if (pos + 1 >= data_.size()) return false;
                if (!jumped) next = pos + 2;
                jumped = true;
                if (++hops > kMaxPointerHops) return false;
                pos = byte(pos + 1);
                continue;
            }
            if (pos + 1 + length > data_.size()) return false;
            if (!out.empty()) out += '.';
            out.append(data_.substr(pos + 1, length));
            if (out.size() > kMaxName) return false;
            pos += 1 + length;
        }
    }

private:
    unsigned byte(std::size_t at) const { return static_cast<unsigned char>(data_[at]); }
    std::string_view data_;
};

}  // namespace

std::optional<std::string> buildMxQuery(std::string_view domain) {
    std::string query = {'\x11', '\xDF', '\x01', '\x00', '\x00', '\x01', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00'};
    std::size_t nameBytes = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = domain.find('.', start);
        std::string_view label = domain.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (label.size() > 63) return std::nullopt;
        query += static_cast<char>(label.size());
        query.append(label);
        nameBytes += 1 + label.size();
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (nameBytes + 1 > kMaxName) return std::nullopt;
    query += std::string("\x00\x00\x0F\x00\x01", 5);
    return query;
}

MxReply parseMxReply(std::string_view datagram) {
    MxReply reply;
    Reader in(datagram);
    std::uint16_t id = 0, answers = 0;
    if (datagram.size() < 12 || !in.u16(0, id) || id != kMxQueryId || !in.u16(6, answers)) return reply;
    reply.answerCount = answers;
    std::string name;
    std::size_t pos = 12;
    if (!in.name(pos, name, pos) || pos + 4 > datagram.size()) return MxReply{};
    pos += 4;
    std::vector<MxRecord> records;
    std::string best;
    int bestPreference = -1;
    for (unsigned i = 0; i < answers; ++i) {
        std::uint16_t type = 0, length = 0;
        if (!in.name(pos, name, pos) || !in.u16(pos, type) || !in.u16(pos + 8, length)) return MxReply{};
        std::size_t data = pos + 10;
        if (data + length > datagram.size()) return MxReply{};
        if (type != kTypeMx) break;
        std::uint16_t preference = 0;
        std::string exchange;
        std::size_t after = 0;
        if (length < 3 || !in.u16(data, preference) || !in.name(data + 2, exchange, after) || after > data + length)
            return MxReply{};
        exchange = std::string(base::trim(exchange, " "));
        if (!exchange.empty()) {
            records.push_back({exchange, preference});
            if (bestPreference < 0 || preference < bestPreference) {
                best = exchange;
                bestPreference = preference;
            }
        }
        pos = data + length;
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const MxRecord& a, const MxRecord& b) { return a.preference < b.preference; });
    reply.valid = true;
    reply.records = std::move(records);
    reply.best = std::move(best);
    reply.bestPreference = bestPreference;
    return reply;
}

}  // namespace vk::net
