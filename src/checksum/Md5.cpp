#include "checksum/Md5.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "checksum/Md5Block.h"
#include "platform/CodePage.h"
#include "platform/FileDescriptor.h"
#include "platform/RuntimeError.h"

namespace vk::checksum {

namespace {

constexpr char kHexUpper[] = "0123456789ABCDEF";

void storeLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void storeLe64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Pads the partial block (`buffered` bytes in `buffer`) and runs the last one or two blocks.
void finishBlocks(std::uint32_t state[4], std::uint8_t* buffer, std::size_t buffered,
                  std::uint64_t byteLength) {
    buffer[buffered++] = 0x80;
    if (buffered > 56) {
        std::memset(buffer + buffered, 0, 64 - buffered);
        md5detail::compress(state, buffer, 1);
        buffered = 0;
    }
    std::memset(buffer + buffered, 0, 56 - buffered);
    storeLe64(buffer + 56, byteLength * 8);
    md5detail::compress(state, buffer, 1);
}

std::string hexOfRegisters(const std::uint32_t regs[4]) {
    std::uint8_t bytes[16];
    for (int i = 0; i < 4; ++i) storeLe32(bytes + 4 * i, regs[i]);
    return Md5Hasher::hexOf(bytes);
}

// Characters of UTF-8 text (lead bytes; continuation bytes do not count).
std::size_t countCharacters(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// Large reads for speed; the digest itself still advances 64 bytes at a time.
constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

// ---------------------------------------------------------------- Md5Hasher

Md5Hasher::Md5Hasher()
    : a_(md5detail::kInit[0]), b_(md5detail::kInit[1]), c_(md5detail::kInit[2]), d_(md5detail::kInit[3]) {}

void Md5Hasher::block(const std::uint8_t* p) {
    std::uint32_t s[4] = {a_, b_, c_, d_};
    md5detail::compress(s, p, 1);
    a_ = s[0];
    b_ = s[1];
    c_ = s[2];
    d_ = s[3];
}

void Md5Hasher::update(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    length_ += size;
    if (buffered_ > 0) {
        const std::size_t take = std::min(size, 64 - buffered_);
        std::memcpy(buffer_.data() + buffered_, data, take);
        buffered_ += take;
        data += take;
        size -= take;
        if (buffered_ < 64) return;
        block(buffer_.data());
        buffered_ = 0;
    }
    if (size >= 64) {
        std::uint32_t s[4] = {a_, b_, c_, d_};
        md5detail::compress(s, data, size / 64);
        a_ = s[0];
        b_ = s[1];
        c_ = s[2];
        d_ = s[3];
        data += size & ~std::size_t{63};
        size &= 63;
    }
    if (size > 0) {
        std::memcpy(buffer_.data(), data, size);
        buffered_ = size;
    }
}

std::array<std::uint8_t, 16> Md5Hasher::finish() {
    std::uint32_t s[4] = {a_, b_, c_, d_};
    finishBlocks(s, buffer_.data(), buffered_, length_);
    std::array<std::uint8_t, 16> out{};
    for (int i = 0; i < 4; ++i) storeLe32(out.data() + 4 * i, s[i]);
    // Ready for the next message.
    a_ = md5detail::kInit[0];
    b_ = md5detail::kInit[1];
    c_ = md5detail::kInit[2];
    d_ = md5detail::kInit[3];
    length_ = 0;
    buffered_ = 0;
    return out;
}

std::string Md5Hasher::finishHex() {
    const auto digest = finish();
    return hexOf(digest);
}

std::string Md5Hasher::hexOf(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(kHexUpper[b >> 4]);
        out.push_back(kHexUpper[b & 0x0F]);
    }
    return out;
}

// ---------------------------------------------------------------------- Md5

Md5::Md5(platform::EventPump* pump) : pump_(pump) { md5Init(); }

std::string Md5::registerA() const { return std::to_string(static_cast<std::int32_t>(regs_[0])); }
std::string Md5::registerB() const { return std::to_string(static_cast<std::int32_t>(regs_[1])); }
std::string Md5::registerC() const { return std::to_string(static_cast<std::int32_t>(regs_[2])); }
std::string Md5::registerD() const { return std::to_string(static_cast<std::int32_t>(regs_[3])); }

void Md5::md5Init() {
    for (int i = 0; i < 4; ++i) regs_[i] = md5detail::kInit[i];
    count_ = 0;
    bitCount_ = 0;
}

void Md5::transform(const std::uint8_t* block) { md5detail::compress(regs_, block, 1); }

void Md5::md5Update(std::int32_t inputLen, std::span<const std::uint8_t> inputBuffer) {
    if (inputLen <= 0) return;
    if (static_cast<std::size_t>(inputLen) > inputBuffer.size())
        throw platform::RuntimeError(platform::kErrSubscriptOutOfRange, "Subscript out of range",
                                     platform::kErrorSource);
    const std::uint8_t* data = inputBuffer.data();
    std::size_t size = static_cast<std::size_t>(inputLen);
    std::size_t index = count_ & 63;
    // The 32-bit count only places bytes in the block buffer; the length itself is kept in 64 bits.
    count_ += static_cast<std::uint32_t>(size);
    bitCount_ += std::uint64_t{size} * 8;
    if (index > 0) {
        const std::size_t take = std::min(size, 64 - index);
        std::memcpy(buffer_.data() + index, data, take);
        index += take;
        data += take;
        size -= take;
        if (index < 64) return;
        transform(buffer_.data());
    }
    if (size >= 64) {
        md5detail::compress(regs_, data, size / 64);
        data += size & ~std::size_t{63};
        size &= 63;
    }
    if (size > 0) std::memcpy(buffer_.data(), data, size);
}

void Md5::md5Final() {
    finishBlocks(regs_, buffer_.data(), count_ & 63, bitCount_ / 8);
    count_ = 0;
    bitCount_ = 0;
}

std::string Md5::getValues() const { return hexOfRegisters(regs_); }

std::int32_t Md5::longLeftRotate(std::int32_t value, std::int32_t bits) {
    const auto v = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>(std::rotl(v, static_cast<int>(bits & 31)));
}

std::string Md5::digestStrToHexStr(std::string_view sourceString) {
    if (countCharacters(sourceString) > 32767) throw platform::overflowError();
    const auto bytes = platform::utf8ToAnsi(sourceString);
    if (!bytes) throw platform::invalidProcedureCallError();
    md5Init();
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes->data());
    md5Update(static_cast<std::int32_t>(bytes->size()), {p, bytes->size()});
    md5Final();
    return getValues();
}

std::string Md5::digestFileToHexStr(const std::string& inFile) {
    cancelDigest = false;
    // Non-blocking so that a FIFO cannot stall the open; only regular files are digested,
    // since devices such as /dev/zero never end.
    auto fd = platform::FileDescriptor::open(inFile, O_RDONLY | O_NONBLOCK);
    if (!fd) return {};
    struct stat st {};
    if (!fd.stat(st) || !S_ISREG(st.st_mode)) return {};
    fd.setNonBlocking(false);

    md5Init();
    auto chunk = std::make_unique<std::uint8_t[]>(kReadChunk);
    bool cancelled = false;
    while (!cancelled) {
        const std::ptrdiff_t got = fd.readFully(chunk.get(), kReadChunk);
        if (got < 0) {
            cancelDigest = false;
            return {};
        }
        const auto size = static_cast<std::size_t>(got);
        for (std::size_t off = 0; off < size; off += 64) {
            const std::size_t n = std::min<std::size_t>(64, size - off);
            md5Update(static_cast<std::int32_t>(n), {chunk.get() + off, n});
            if (pump_) pump_->pump();
            if (cancelDigest.load(std::memory_order_relaxed)) {
                cancelled = true;
                break;
            }
        }
        if (size < kReadChunk) break;
    }
    md5Final();
    cancelDigest = false;
    return getValues();
}

}  // namespace vk::checksum
