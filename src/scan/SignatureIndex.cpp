#include "scan/SignatureIndex.h"

#include <algorithm>
#include <cstring>

#include "checksum/Crc32.h"
#include "platform/base/Text.h"

namespace vk::scan {
namespace {

std::uint64_t hashBytes(const std::string& s) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ull;
    return h;
}

}  // namespace

SignatureIndex::SignatureIndex(const std::vector<SignatureEntry>& entries) : entries_(&entries) {
    std::vector<std::uint32_t> withString;
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        if (e.crc32 != 0) byCrc_.emplace_back(e.crc32, i);
        // An empty signature would be found at the start of every file.
        if (e.useStringDetection && !e.stringSignature.empty()) withString.push_back(i);
    }
    std::sort(byCrc_.begin(), byCrc_.end());

    // Entries sharing one byte string become one pattern. Grouping by a hash
    // keeps the sort on small keys instead of chasing every string.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;
    keyed.reserve(withString.size());
    for (std::uint32_t i : withString) keyed.emplace_back(hashBytes(entries[i].stringSignature), i);
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string_view> patterns;
    for (std::size_t k = 0; k < keyed.size();) {
        std::size_t end = k;
        while (end < keyed.size() && keyed[end].first == keyed[k].first) ++end;
        // Equal hashes with different strings are split here.
        std::stable_sort(keyed.begin() + static_cast<std::ptrdiff_t>(k), keyed.begin() + static_cast<std::ptrdiff_t>(end),
                         [&](const auto& x, const auto& y) {
                             return entries[x.second].stringSignature < entries[y.second].stringSignature;
                         });
        for (std::size_t j = k; j < end; ++j) {
            const std::string& sig = entries[keyed[j].second].stringSignature;
            if (j == k || sig != entries[keyed[j - 1].second].stringSignature) {
                patternStart_.push_back(static_cast<std::uint32_t>(patternEntries_.size()));
                patterns.push_back(sig);
            }
            patternEntries_.push_back(keyed[j].second);  // ascending within a pattern
        }
        k = end;
    }
    patternStart_.push_back(static_cast<std::uint32_t>(patternEntries_.size()));
    matcher_ = PatternMatcher(patterns);
}

SignatureIndex::CrcRun SignatureIndex::crcRun(std::int32_t fileCrc) const {
    auto first = std::lower_bound(byCrc_.begin(), byCrc_.end(), std::pair<std::int32_t, std::uint32_t>{fileCrc, 0});
    auto last = first;
    while (last != byCrc_.end() && last->first == fileCrc) ++last;
    return {first, last};
}

std::int64_t SignatureIndex::firstConfirmed(const CrcRun& run, const std::function<std::string()>& md5Hex) const {
    std::string digest;
    bool digested = false;
    for (auto it = run.first; it != run.second; ++it) {
        const auto& e = (*entries_)[it->second];
        if (!e.md5.empty()) {
            if (!digested) {
                digest = md5Hex();
                digested = true;
            }
            if (!base::equalsNoCase(e.md5, digest)) continue;
        }
        return it->second;
    }
    return kNoMatch;
}

std::int64_t SignatureIndex::earlierByString(std::uint32_t pattern, const CrcRun& run, std::int64_t best) const {
    for (std::uint32_t k = patternStart_[pattern]; k < patternStart_[pattern + 1]; ++k) {
        std::uint32_t i = patternEntries_[k];
        if (best != kNoMatch && i >= best) break;
        // An entry whose CRC equals the file's was decided by its MD5 alone.
        if (run.first != run.second && std::binary_search(run.first, run.second, std::pair{run.first->first, i}))
            continue;
        return i;
    }
    return best;
}

std::int64_t SignatureIndex::firstMatch(const std::uint8_t* data, std::size_t size, std::int32_t fileCrc,
                                        const std::function<std::string()>& md5Hex) const {
    if (!entries_) return kNoMatch;
    CrcRun run = crcRun(fileCrc);
    std::int64_t best = firstConfirmed(run, md5Hex);
    if (best == 0) return best;
    matcher_.search(data, size, [&](std::uint32_t pattern) {
        best = earlierByString(pattern, run, best);
        return best != 0;
    });
    return best;
}

SignatureIndex::Pass::Pass(const SignatureIndex& index, std::vector<std::uint8_t>& window, platform::EventPump* pump)
    : index_(index), window_(window), reach_(std::max<std::size_t>(1, index.matcher_.maxPatternLength())), crc_(pump) {
    // A piece, and what must stay before it: a probe looks up to a stride
    // back and a whole pattern ahead.
    std::size_t wanted = kPiece + reach_ + 2 * PatternMatcher::kMaxStride;
    if (window_.size() < wanted) window_.resize(wanted);
}

std::span<std::uint8_t> SignatureIndex::Pass::space() {
    if (window_.size() - length_ < kPiece) {
        std::uint64_t keepFrom = searched_ > PatternMatcher::kMaxStride ? searched_ - PatternMatcher::kMaxStride : 0;
        keepFrom = std::clamp<std::uint64_t>(keepFrom, windowStart_, windowStart_ + length_);
        auto drop = static_cast<std::size_t>(keepFrom - windowStart_);
        std::memmove(window_.data(), window_.data() + drop, length_ - drop);
        windowStart_ = keepFrom;
        length_ -= drop;
    }
    return {window_.data() + length_, kPiece};
}

void SignatureIndex::Pass::search(std::uint64_t to) {
    to = std::min<std::uint64_t>(to, windowStart_ + length_);
    if (to <= searched_) return;
    index_.matcher_.searchRange(
        window_.data(), length_, static_cast<std::size_t>(searched_ - windowStart_),
        static_cast<std::size_t>(to - windowStart_), seen_,
        [&](std::uint32_t pattern) {
            found_.push_back(pattern);
            return true;
        },
        windowStart_);
    searched_ = to;
}

void SignatureIndex::Pass::commit(std::size_t n) {
    crc_.update(window_.data() + length_, n);
    length_ += n;
    // A probe may read a whole pattern past its position: stay that far behind.
    std::uint64_t available = windowStart_ + length_;
    if (available >= reach_) search(available - reach_ + 1);
}

std::int64_t SignatureIndex::Pass::finish(const std::function<std::string()>& md5Hex) {
    search(windowStart_ + length_);
    if (!index_.entries_) return kNoMatch;
    CrcRun run = index_.crcRun(crc_.value());
    std::int64_t best = index_.firstConfirmed(run, md5Hex);
    for (std::uint32_t pattern : found_) {
        if (best == 0) break;
        best = index_.earlierByString(pattern, run, best);
    }
    return best;
}

}  // namespace vk::scan
