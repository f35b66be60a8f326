#include "scan/PatternMatcher.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace vk::scan {
namespace {

// Groups the packed (gram << 32 | pattern << 4 | offset) keys by gram: a
// stable radix sort on the gram bytes, so each group keeps its patterns in
// ascending order. Far cheaper than a comparison sort for millions of grams.
void sortByGram(std::vector<std::uint64_t>& keys) {
    std::vector<std::uint64_t> scratch(keys.size());
    for (unsigned shift = 32; shift < 64; shift += 8) {
        std::size_t count[257] = {};
        for (std::uint64_t k : keys) ++count[((k >> shift) & 0xFF) + 1];
        for (int b = 0; b < 256; ++b) count[b + 1] += count[b];
        for (std::uint64_t k : keys) scratch[count[(k >> shift) & 0xFF]++] = k;
        keys.swap(scratch);
    }
}

}  // namespace

PatternMatcher::PatternMatcher(const std::vector<std::string>& patterns)
    : PatternMatcher(std::vector<std::string_view>(patterns.begin(), patterns.end())) {}

PatternMatcher::PatternMatcher(const std::vector<std::string_view>& patterns) : patternCount_(patterns.size()) {
    if (patterns.size() >= (std::size_t{1} << kMaxPatternBits)) throw std::length_error("too many patterns");
    patternStart_.reserve(patterns.size() + 1);
    for (auto p : patterns) {
        patternStart_.push_back(bytes_.size());
        bytes_.append(p);
        maxPatternLength_ = std::max(maxPatternLength_, p.size());
    }
    patternStart_.push_back(bytes_.size());

    // The widest stride every pattern of kGram bytes or more still spans: one
    // pattern left to the exact pass would cost a byte-by-byte pass over every
    // file, more than any stride saves.
    std::size_t minLong = SIZE_MAX;
    for (auto p : patterns)
        if (p.size() >= kGram) minLong = std::min(minLong, p.size());
    stride_ = minLong == SIZE_MAX ? 1 : std::min(kMaxStride, minLong - kGram + 1);

    for (std::uint32_t id = 0; id < patterns.size(); ++id) {
        std::size_t n = patterns[id].size();
        if (n == 0) continue;
        if (n >= kGram + stride_ - 1)
            longPatterns_.push_back(id);
        else
            shortPatterns_.push_back(id);
    }

    if (!longPatterns_.empty()) {
        // gram << 32 | pattern << 4 | offset: one sort groups the grams.
        std::vector<std::uint64_t> grams;
        grams.reserve(longPatterns_.size() * stride_);
        for (std::uint32_t id : longPatterns_) {
            const std::uint8_t* bytes = patternBytes(id);
            for (std::uint32_t off = 0; off < stride_; ++off)
                grams.push_back(std::uint64_t{load32(bytes + off)} << 32 | std::uint64_t{id} << 4 | off);
        }
        sortByGram(grams);
        // Filter of about 16 bits per gram, from 2^16 to 2^23 bits.
        unsigned bits = std::clamp<unsigned>(static_cast<unsigned>(std::bit_width(grams.size() * 16)), 16, 23);
        filterShift_ = 32 - bits;
        filter_.assign((std::size_t{1} << bits) / 64, 0);
        std::size_t distinct = 0;
        for (std::size_t i = 0; i < grams.size(); ++i)
            if (i == 0 || grams[i] >> 32 != grams[i - 1] >> 32) ++distinct;
        std::size_t tableSize = std::bit_ceil(distinct * 2 + 1);
        buckets_.assign(tableSize, Bucket{0, 0, 0});
        bucketMask_ = static_cast<std::uint32_t>(tableSize - 1);
        bucketShift_ = 64 - static_cast<unsigned>(std::countr_zero(tableSize));
        candidates_.reserve(grams.size());
        for (std::size_t i = 0; i < grams.size();) {
            auto gram = static_cast<std::uint32_t>(grams[i] >> 32);
            auto first = static_cast<std::uint32_t>(candidates_.size());
            for (; i < grams.size() && static_cast<std::uint32_t>(grams[i] >> 32) == gram; ++i)
                candidates_.push_back({static_cast<std::uint32_t>(grams[i] >> 4) & ((1u << kMaxPatternBits) - 1),
                                       static_cast<std::uint32_t>(grams[i] & 15)});
            std::uint32_t h = hashOf(gram);
            filter_[h >> 6] |= std::uint64_t{1} << (h & 63);
            std::uint32_t slot = bucketOf(gram);
            while (buckets_[slot].count != 0) slot = (slot + 1) & bucketMask_;
            buckets_[slot] = {gram, first, static_cast<std::uint32_t>(candidates_.size()) - first};
        }
    }

    shortFirstByte_.assign(256, 0);
    if (!shortPatterns_.empty()) {
        shortByByte_.assign(256, {});
        for (std::uint32_t id : shortPatterns_) {
            const std::uint8_t* bytes = patternBytes(id);
            shortFirstByte_[bytes[0]] = 1;
            if (patternSize(id) == 1) {
                shortByByte_[bytes[0]].push_back(id);
            } else {
                if (shortByPair_.empty()) shortByPair_.assign(65536, {});
                shortByPair_[static_cast<std::size_t>(bytes[0]) | static_cast<std::size_t>(bytes[1]) << 8].push_back(id);
            }
        }
    }
}

std::vector<std::uint32_t> PatternMatcher::matches(const std::uint8_t* text, std::size_t size) const {
    std::vector<std::uint32_t> ids;
    search(text, size, [&](std::uint32_t id) {
        ids.push_back(id);
        return true;
    });
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace vk::scan
