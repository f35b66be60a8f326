#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/EventPump.h"

namespace vk::checksum {

// The program's own CRC-32: MSB-first, feedback mask 0xEDB88320, register
// starting at 0xFFFFFFFF, no final inversion. Stored and compared as signed.
class Crc32 {
public:
    static std::uint32_t tableEntry(std::uint8_t index);

    // Continues a running register over more bytes.
    static std::uint32_t update(std::uint32_t reg, const std::uint8_t* data, std::size_t size);

    static constexpr std::uint32_t kInitial = 0xFFFFFFFFu;
};

// Bytes between two yields of computeCrc32: geometric with success rate
// 0.00001 per byte, the same law as one draw per byte but drawn once per yield.
class Crc32YieldGaps {
public:
    static constexpr double kRate = 0.00001;

    explicit Crc32YieldGaps(std::uint64_t seed);
    // Seeded once from std::random_device.
    static Crc32YieldGaps fromRandomDevice();

    // Number of bytes to process before the next yield (at least 1).
    std::uint64_t next();

private:
    std::uint64_t nextBits();
    std::uint64_t state_;
};

// computeCrc32 over consecutive pieces of one array, with the same random
// yields as one call over the whole.
class Crc32Stream {
public:
    // gaps: the yield generator; the thread's own when null.
    explicit Crc32Stream(platform::EventPump* pump = nullptr, Crc32YieldGaps* gaps = nullptr);
    void update(const std::uint8_t* data, std::size_t size);
    std::int32_t value() const { return static_cast<std::int32_t>(reg_); }

private:
    std::uint32_t reg_ = Crc32::kInitial;
    platform::EventPump* pump_;
    Crc32YieldGaps* gaps_;
    std::uint64_t untilYield_ = 0;
};

// ComputeCRC32 of a whole byte array. With a pump, the user interface is
// serviced at random with probability 0.00001 per byte (one draw per gap, not
// per byte).
std::int32_t computeCrc32(std::span<const std::uint8_t> bytes, platform::EventPump* pump = nullptr);
// The same with the caller's gap generator (deterministic seeds in tests).
std::int32_t computeCrc32(std::span<const std::uint8_t> bytes, platform::EventPump* pump,
                          Crc32YieldGaps& gaps);

// The plain one-lookup-per-byte loop; kept as the reference for tests and benchmarks.
std::uint32_t crc32ByteLoop(std::uint32_t reg, const std::uint8_t* data, std::size_t size);

// Name of the kernel Crc32::update uses on this machine ("pclmul" or "slicing-by-16").
const char* crc32KernelName();

}  // namespace vk::checksum
