#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "checksum/Crc32.h"
#include "platform/EventPump.h"
#include "scan/PatternMatcher.h"
#include "scan/SignatureEntry.h"

namespace vk::scan {

// Everything needed to find the first matching signature of a file in one
// pass, built once when the database loads. The result is the entry the
// database-order loop would report: the first entry that is either a CRC
// match confirmed by MD5 (an empty MD5 confirms without digesting), or, when
// its CRC is 0 or differs from the file's, a string-detection match.
class SignatureIndex {
public:
    SignatureIndex() = default;
    explicit SignatureIndex(const std::vector<SignatureEntry>& entries);

    static constexpr std::int64_t kNoMatch = -1;

    // md5Hex computes the file's MD5 (upper or lower case) and is called at
    // most once, only when a CRC match needs confirming.
    std::int64_t firstMatch(const std::uint8_t* data, std::size_t size, std::int32_t fileCrc,
                            const std::function<std::string()>& md5Hex) const;

    // The same while the file is still arriving: each piece is checksummed
    // (yielding through pump as computeCrc32 does) and searched as soon as it
    // is in the buffer, while it is still in the cache.
    class Pass {
    public:
        Pass(const SignatureIndex& index, const std::uint8_t* data, std::size_t size, platform::EventPump* pump);
        // The first `available` bytes of the buffer are filled.
        void feed(std::size_t available);
        // After the whole file was fed.
        std::int64_t finish(const std::function<std::string()>& md5Hex);

    private:
        const SignatureIndex& index_;
        const std::uint8_t* data_;
        std::size_t size_;
        checksum::Crc32Stream crc_;
        std::size_t checksummed_ = 0;
        std::size_t searched_ = 0;
        std::vector<std::uint8_t> seen_;
        std::vector<std::uint32_t> found_;
        void search(std::size_t to);
    };

private:
    using CrcRun = std::pair<std::vector<std::pair<std::int32_t, std::uint32_t>>::const_iterator,
                             std::vector<std::pair<std::int32_t, std::uint32_t>>::const_iterator>;
    CrcRun crcRun(std::int32_t fileCrc) const;
    // The first entry of the run whose MD5 confirms (an empty one confirms at once).
    std::int64_t firstConfirmed(const CrcRun& run, const std::function<std::string()>& md5Hex) const;
    // best, or an earlier entry of the pattern that its CRC does not block.
    std::int64_t earlierByString(std::uint32_t pattern, const CrcRun& run, std::int64_t best) const;

    const std::vector<SignatureEntry>* entries_ = nullptr;
    // (CRC, entry index) sorted: the entries with one CRC are a run, ascending.
    std::vector<std::pair<std::int32_t, std::uint32_t>> byCrc_;
    // Entries of pattern p: patternEntries_[patternStart_[p] .. patternStart_[p + 1]), ascending.
    std::vector<std::uint32_t> patternStart_;
    std::vector<std::uint32_t> patternEntries_;
    PatternMatcher matcher_;
};

}  // namespace vk::scan
