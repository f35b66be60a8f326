#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vk::scan {

// Finds which of many byte strings occur in a buffer, in one pass.
//
// Patterns of kGram bytes or more are found by probing only every stride-th
// position of the text (stride = shortest such pattern - kGram + 1) with a
// hashed filter of the 4-byte grams at offsets 0..stride-1 of each pattern:
// every occurrence covers exactly one probed position. A hit is verified by a
// hash lookup and memcmp. Patterns of one to three bytes get an exact
// byte-by-byte pass of their own. Empty patterns never match.
class PatternMatcher {
public:
    static constexpr std::size_t kGram = 4;
    static constexpr std::size_t kMaxStride = 16;

    PatternMatcher() = default;
    explicit PatternMatcher(const std::vector<std::string_view>& patterns);
    explicit PatternMatcher(const std::vector<std::string>& patterns);

    std::size_t patternCount() const { return patternCount_; }
    // The longest pattern: how far past a probed position a search may read.
    std::size_t maxPatternLength() const { return maxPatternLength_; }

    // Calls found(patternId) for each distinct pattern that occurs (in no
    // particular order); found returns false to stop the search early.
    template <class Found>
    void search(const std::uint8_t* text, std::size_t size, Found&& found) const;

    // The same for one piece [from, to) of the whole text: pieces that together
    // cover the text find what one search finds, so a text can be matched piece
    // by piece while each piece is in the cache. seen (one flag per pattern,
    // sized on first use) carries over between pieces; a pattern is reported once.
    // text may be a window of a longer stream that starts at offset base of
    // it; the window must hold every occurrence that covers [from, to).
    template <class Found>
    bool searchRange(const std::uint8_t* text, std::size_t size, std::size_t from, std::size_t to,
                     std::vector<std::uint8_t>& seen, Found&& found, std::uint64_t base = 0) const;

    // Convenience for tests: ids of every pattern that occurs, ascending.
    std::vector<std::uint32_t> matches(const std::uint8_t* text, std::size_t size) const;

private:
    struct Candidate {
        std::uint32_t pattern;
        std::uint32_t offset;  // where the gram sits inside the pattern
    };
    struct Bucket {
        std::uint32_t gram;
        std::uint32_t first;  // into candidates_
        std::uint32_t count;
    };

    static std::uint32_t load32(const std::uint8_t* p);
    std::uint32_t hashOf(std::uint32_t gram) const { return (gram * 0x9E3779B1u) >> filterShift_; }
    const Bucket* findBucket(std::uint32_t gram) const;
    bool verify(std::uint32_t pattern, const std::uint8_t* text, std::size_t size, std::size_t start) const;

    template <class Found>
    bool searchLong(const std::uint8_t* text, std::size_t size, std::size_t from, std::size_t to,
                    std::vector<std::uint8_t>& seen, Found& found, std::uint64_t base) const;
    template <class Found>
    bool searchShort(const std::uint8_t* text, std::size_t size, std::size_t from, std::size_t to,
                     std::vector<std::uint8_t>& seen, Found& found) const;

    std::size_t patternSize(std::uint32_t id) const { return patternStart_[id + 1] - patternStart_[id]; }
    const std::uint8_t* patternBytes(std::uint32_t id) const {
        return reinterpret_cast<const std::uint8_t*>(bytes_.data()) + patternStart_[id];
    }

    std::size_t patternCount_ = 0;
    std::size_t maxPatternLength_ = 0;
    std::string bytes_;                       // every pattern, back to back
    std::vector<std::size_t> patternStart_;   // pattern i is [start[i], start[i + 1])
    std::size_t stride_ = 1;
    std::vector<std::uint32_t> longPatterns_;
    std::vector<std::uint32_t> shortPatterns_;  // shorter than kGram + stride - 1

    // Long class.
    unsigned filterShift_ = 32;
    std::vector<std::uint64_t> filter_;  // one bit per hash value
    static constexpr unsigned kMaxPatternBits = 28;  // pattern ids packed beside a 4-bit offset
    std::vector<Bucket> buckets_;        // open addressing on hashOf(gram)
    std::uint32_t bucketMask_ = 0;
    unsigned bucketShift_ = 32;
    // The high bits of a multiplicative hash: the low bits of a product only
    // mix the low bits of the gram, which cluster on text.
    std::uint32_t bucketOf(std::uint32_t gram) const {
        return static_cast<std::uint32_t>((std::uint64_t{gram} * 0x9E3779B97F4A7C15ull) >> bucketShift_) & bucketMask_;
    }
    std::vector<Candidate> candidates_;

    // Short class: first two bytes -> patterns starting with them (one-byte patterns by first byte).
    std::vector<std::uint8_t> shortFirstByte_;                 // 256 flags
    std::vector<std::vector<std::uint32_t>> shortByPair_;      // 65536 lists, allocated only when used
    std::vector<std::vector<std::uint32_t>> shortByByte_;      // 256 lists of one-byte patterns
};

}  // namespace vk::scan

#include "scan/PatternMatcherSearch.h"
