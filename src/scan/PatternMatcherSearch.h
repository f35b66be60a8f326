#pragma once

// Inline search loops of PatternMatcher; included by PatternMatcher.h only.

#include <algorithm>
#include <cstring>

namespace vk::scan {

inline std::uint32_t PatternMatcher::load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline const PatternMatcher::Bucket* PatternMatcher::findBucket(std::uint32_t gram) const {
    std::uint32_t slot = bucketOf(gram);
    while (true) {
        const Bucket& b = buckets_[slot];
        if (b.count == 0) return nullptr;
        if (b.gram == gram) return &b;
        slot = (slot + 1) & bucketMask_;
    }
}

inline bool PatternMatcher::verify(std::uint32_t pattern, const std::uint8_t* text, std::size_t size,
                                   std::size_t start) const {
    std::size_t n = patternSize(pattern);
    return start + n <= size && std::memcmp(text + start, patternBytes(pattern), n) == 0;
}

template <class Found>
bool PatternMatcher::searchLong(const std::uint8_t* text, std::size_t size, std::size_t from, std::size_t to,
                                std::vector<std::uint8_t>& seen, Found& found, std::uint64_t base) const {
    if (longPatterns_.empty() || size < kGram) return true;
    const std::uint64_t* filter = filter_.data();
    const std::size_t last = std::min(size - kGram, to - 1);
    // Probed positions are those one short of a multiple of the stride, counted in the whole stream.
    std::size_t first = from + (stride_ - 1 + stride_ - (base + from) % stride_) % stride_;
    for (std::size_t pos = first; pos <= last; pos += stride_) {
        std::uint32_t gram = load32(text + pos);
        std::uint32_t h = hashOf(gram);
        if (!((filter[h >> 6] >> (h & 63)) & 1)) continue;
        const Bucket* b = findBucket(gram);
        if (!b) continue;
        for (std::uint32_t i = 0; i < b->count; ++i) {
            const Candidate& c = candidates_[b->first + i];
            if (seen[c.pattern] || pos < c.offset) continue;
            if (verify(c.pattern, text, size, pos - c.offset)) {
                seen[c.pattern] = 1;
                if (!found(c.pattern)) return false;
            }
        }
    }
    // Occurrences starting in the first stride-1 bytes are covered too: a
    // pattern is at least kGram + stride - 1 long, so it spans a probed position.
    return true;
}

template <class Found>
bool PatternMatcher::searchShort(const std::uint8_t* text, std::size_t size, std::size_t from, std::size_t to,
                                 std::vector<std::uint8_t>& seen, Found& found) const {
    if (shortPatterns_.empty()) return true;
    for (std::size_t pos = from; pos < to && pos < size; ++pos) {
        std::uint8_t b0 = text[pos];
        if (!shortFirstByte_[b0]) continue;
        for (std::uint32_t id : shortByByte_[b0]) {
            if (!seen[id]) {
                seen[id] = 1;
                if (!found(id)) return false;
            }
        }
        if (pos + 1 >= size || shortByPair_.empty()) continue;
        const auto& list = shortByPair_[static_cast<std::size_t>(b0) | static_cast<std::size_t>(text[pos + 1]) << 8];
        for (std::uint32_t id : list) {
            if (seen[id] || !verify(id, text, size, pos)) continue;
            seen[id] = 1;
            if (!found(id)) return false;
        }
    }
    return true;
}

template <class Found>
bool PatternMatcher::searchRange(const std::uint8_t* text, std::size_t size, std::size_t from, std::size_t to,
                                 std::vector<std::uint8_t>& seen, Found&& found, std::uint64_t base) const {
    if (patternCount_ == 0 || from >= to) return true;
    if (seen.size() != patternCount_) seen.assign(patternCount_, 0);
    if (!searchLong(text, size, from, to, seen, found, base)) return false;
    return searchShort(text, size, from, to, seen, found);
}

template <class Found>
void PatternMatcher::search(const std::uint8_t* text, std::size_t size, Found&& found) const {
    thread_local std::vector<std::uint8_t> seen;
    seen.assign(patternCount_, 0);
    searchRange(text, size, 0, size, seen, found);
}

}  // namespace vk::scan
