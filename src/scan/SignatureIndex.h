#pragma once

#include <cstdint>
#include <functional>
#include <span>
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

    // The entries moved to another vector (same contents, same order).
    void rebind(const std::vector<SignatureEntry>& entries) { entries_ = &entries; }

    // md5Hex computes the file's MD5 (upper or lower case) and is called at
    // most once, only when a CRC match needs confirming.
    std::int64_t firstMatch(const std::uint8_t* data, std::size_t size, std::int32_t fileCrc,
                            const std::function<std::string()>& md5Hex) const;

    // The same while the file is still arriving, in a window of fixed size
    // whatever the file's size: each piece is checksummed (yielding through
    // pump as computeCrc32 does) and searched while it is still in the cache.
    class Pass {
    public:
        // window: the caller's buffer, reused from file to file.
        Pass(const SignatureIndex& index, std::vector<std::uint8_t>& window, platform::EventPump* pump);
        // Where the next piece of the file goes.
        std::span<std::uint8_t> space();
        // n bytes were put into the last space().
        void commit(std::size_t n);
        // After the whole file was committed.
        std::int64_t finish(const std::function<std::string()>& md5Hex);
        std::uint64_t bytesSeen() const { return windowStart_ + length_; }

        static constexpr std::size_t kPiece = 256 * 1024;

    private:
        const SignatureIndex& index_;
        std::vector<std::uint8_t>& window_;
        std::size_t reach_;
        std::uint64_t windowStart_ = 0;  // stream offset of window_[0]
        std::size_t length_ = 0;         // bytes of the window filled
        std::uint64_t searched_ = 0;     // stream offsets below this were probed
        checksum::Crc32Stream crc_;
        std::vector<std::uint8_t> seen_;
        std::vector<std::uint32_t> found_;
        void search(std::uint64_t to);
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
