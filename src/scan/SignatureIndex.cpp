#include "scan/SignatureIndex.h"

#include <algorithm>
#include <cctype>

namespace vk::scan {
namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

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

std::int64_t SignatureIndex::firstMatch(const std::uint8_t* data, std::size_t size, std::int32_t fileCrc,
                                        const std::function<std::string()>& md5Hex) const {
    if (!entries_) return kNoMatch;
    const auto& entries = *entries_;
    std::int64_t best = kNoMatch;

    // Entries whose CRC equals the file's are decided by their MD5 alone.
    auto crcFirst = std::lower_bound(byCrc_.begin(), byCrc_.end(), std::pair<std::int32_t, std::uint32_t>{fileCrc, 0});
    auto crcLast = crcFirst;
    while (crcLast != byCrc_.end() && crcLast->first == fileCrc) ++crcLast;
    std::string digest;
    bool digested = false;
    for (auto it = crcFirst; it != crcLast; ++it) {
        const auto& e = entries[it->second];
        if (!e.md5.empty()) {
            if (!digested) {
                digest = md5Hex();
                digested = true;
            }
            if (!equalsIgnoringCase(e.md5, digest)) continue;
        }
        best = it->second;
        break;
    }
    if (best == 0) return best;

    auto crcBlocked = [&](std::uint32_t i) {
        return std::binary_search(crcFirst, crcLast, std::pair<std::int32_t, std::uint32_t>{fileCrc, i});
    };
    matcher_.search(data, size, [&](std::uint32_t pattern) {
        for (std::uint32_t k = patternStart_[pattern]; k < patternStart_[pattern + 1]; ++k) {
            std::uint32_t i = patternEntries_[k];
            if (best != kNoMatch && i >= best) break;
            if (crcBlocked(i)) continue;
            best = i;
            break;
        }
        return best != 0;
    });
    return best;
}

}  // namespace vk::scan
