#include "scan/PatternMatcher.h"

#include <algorithm>
#include <bit>

namespace vk::scan {

PatternMatcher::PatternMatcher(const std::vector<std::string>& patterns)
    : patternCount_(patterns.size()), patterns_(patterns) {
    // The widest stride that leaves at most one pattern in fifty of four bytes
    // or more to the slower exact pass.
    stride_ = 1;
    for (std::size_t s = kMaxStride; s >= 2; --s) {
        std::size_t demoted = 0;
        for (const auto& p : patterns)
            if (p.size() >= kGram && p.size() < kGram + s - 1) ++demoted;
        if (demoted * 50 <= patterns.size()) {
            stride_ = s;
            break;
        }
    }

    for (std::uint32_t id = 0; id < patterns.size(); ++id) {
        const auto& p = patterns[id];
        if (p.empty()) continue;
        if (p.size() >= kGram + stride_ - 1)
            longPatterns_.push_back(id);
        else
            shortPatterns_.push_back(id);
    }

    if (!longPatterns_.empty()) {
        std::vector<std::pair<std::uint32_t, Candidate>> grams;
        grams.reserve(longPatterns_.size() * stride_);
        for (std::uint32_t id : longPatterns_) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(patterns[id].data());
            for (std::uint32_t off = 0; off < stride_; ++off) grams.push_back({load32(bytes + off), {id, off}});
        }
        std::sort(grams.begin(), grams.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : a.second.pattern < b.second.pattern;
        });
        // Filter of about 16 bits per gram, from 2^16 to 2^23 bits.
        unsigned bits = std::clamp<unsigned>(std::bit_width(grams.size() * 16), 16, 23);
        filterShift_ = 32 - bits;
        filter_.assign((std::size_t{1} << bits) / 64, 0);
        std::size_t distinct = 0;
        for (std::size_t i = 0; i < grams.size(); ++i)
            if (i == 0 || grams[i].first != grams[i - 1].first) ++distinct;
        std::size_t tableSize = std::bit_ceil(distinct * 2 + 1);
        buckets_.assign(tableSize, Bucket{0, 0, 0});
        bucketMask_ = static_cast<std::uint32_t>(tableSize - 1);
        candidates_.reserve(grams.size());
        for (std::size_t i = 0; i < grams.size();) {
            std::uint32_t gram = grams[i].first;
            auto first = static_cast<std::uint32_t>(candidates_.size());
            for (; i < grams.size() && grams[i].first == gram; ++i) candidates_.push_back(grams[i].second);
            std::uint32_t h = hashOf(gram);
            filter_[h >> 6] |= std::uint64_t{1} << (h & 63);
            std::uint32_t slot = (gram * 0x85EBCA6Bu) & bucketMask_;
            while (buckets_[slot].count != 0) slot = (slot + 1) & bucketMask_;
            buckets_[slot] = {gram, first, static_cast<std::uint32_t>(candidates_.size()) - first};
        }
    }

    if (!shortPatterns_.empty()) {
        shortFirstByte_.assign(256, 0);
        shortByByte_.assign(256, {});
        for (std::uint32_t id : shortPatterns_) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(patterns[id].data());
            shortFirstByte_[bytes[0]] = 1;
            if (patterns[id].size() == 1) {
                shortByByte_[bytes[0]].push_back(id);
            } else {
                if (shortByPair_.empty()) shortByPair_.assign(65536, {});
                shortByPair_[static_cast<std::size_t>(bytes[0]) | static_cast<std::size_t>(bytes[1]) << 8].push_back(id);
            }
        }
    } else {
        shortFirstByte_.assign(256, 0);
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
