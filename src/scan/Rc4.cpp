#include "scan/Rc4.h"

#include <numeric>

#include "platform/CodePage.h"
#include "platform/RuntimeError.h"

namespace vk::scan {

namespace {

void run(std::array<std::uint8_t, 256> s, std::span<std::uint8_t> bytes, Rc4Events* events) {
    const std::size_t length = bytes.size();
    // Word-sized state cells avoid the partial-register stalls of byte cells.
    std::uint32_t state[256];
    for (int k = 0; k < 256; ++k) state[k] = s[static_cast<std::size_t>(k)];
    std::uint32_t i = 0, j = 0;
    std::uint8_t* data = bytes.data();
    auto crypt = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            i = (i + 1) & 0xFF;
            std::uint32_t si = state[i];
            j = (j + si) & 0xFF;
            std::uint32_t sj = state[j];
            state[i] = sj;
            state[j] = si;
            data[k] ^= static_cast<std::uint8_t>(state[(si + sj) & 0xFF]);
        }
    };
    if (!events) {
        crypt(0, length);
        return;
    }
    // Percent after byte `pos` is floor(pos * 100 / length); an event is raised
    // whenever it goes up, so the bytes between two raises go in one stretch.
    std::int32_t last = 0;
    std::size_t pos = 0;
    while (pos < length) {
        const auto wanted = static_cast<unsigned long long>(last) + 1;
        // First position whose percent reaches `wanted`.
        std::size_t next = static_cast<std::size_t>((wanted * length + 99) / 100);
        if (next <= pos) next = pos + 1;
        crypt(pos, next);
        pos = next;
        last = static_cast<std::int32_t>(static_cast<unsigned long long>(pos) * 100 / length);
        events->progress(last);
    }
    if (last != 100) events->progress(100);
}

}  // namespace

void Rc4::setKey(std::string_view key) {
    if (key == key_) return;
    key_ = std::string(key);
    scheduledValid_ = false;
    if (key_.empty()) return;
    // The key's single-byte form; text that has none is taken byte for byte.
    const auto ansi = platform::utf8ToAnsi(key_);
    const std::string& bytes = ansi ? *ansi : key_;
    std::iota(scheduled_.begin(), scheduled_.end(), std::uint8_t{0});
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + scheduled_[i] + static_cast<std::uint8_t>(bytes[i % bytes.size()]));
        std::swap(scheduled_[i], scheduled_[j]);
    }
    scheduledValid_ = true;
}

void Rc4::encryptByte(std::span<std::uint8_t> bytes, std::string_view key) {
    if (!key.empty()) setKey(key);
    // Without a key there is no keystream; leaving the data as it is would pass plain text off as cipher text.
    if (!scheduledValid_) throw platform::invalidProcedureCallError();
    run(scheduled_, bytes, events_);
}

void Rc4::decryptByte(std::span<std::uint8_t> bytes, std::string_view key) { encryptByte(bytes, key); }

}  // namespace vk::scan
