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

}  // namespace

SignatureIndex::SignatureIndex(const std::vector<SignatureEntry>& entries) : entries_(&entries) {
    std::unordered_map<std::string, std::uint32_t> patternIds;
    std::vector<std::string> patterns;
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        if (e.crc32 != 0) byCrc_[e.crc32].push_back(i);
        // An empty signature would be found at the start of every file.
        if (!e.useStringDetection || e.stringSignature.empty()) continue;
        auto [it, inserted] = patternIds.try_emplace(e.stringSignature, static_cast<std::uint32_t>(patterns.size()));
        if (inserted) {
            patterns.push_back(e.stringSignature);
            entriesOfPattern_.emplace_back();
        }
        entriesOfPattern_[it->second].push_back(i);
    }
    matcher_ = PatternMatcher(patterns);
}

std::int64_t SignatureIndex::firstMatch(const std::uint8_t* data, std::size_t size, std::int32_t fileCrc,
                                        const std::function<std::string()>& md5Hex) const {
    if (!entries_) return kNoMatch;
    const auto& entries = *entries_;
    std::int64_t best = kNoMatch;

    // Entries whose CRC equals the file's are decided by their MD5 alone.
    const std::vector<std::uint32_t>* crcHits = nullptr;
    if (auto it = byCrc_.find(fileCrc); it != byCrc_.end()) {
        crcHits = &it->second;
        std::string digest;
        bool digested = false;
        for (std::uint32_t i : it->second) {
            const auto& e = entries[i];
            if (!e.md5.empty()) {
                if (!digested) {
                    digest = md5Hex();
                    digested = true;
                }
                if (!equalsIgnoringCase(e.md5, digest)) continue;
            }
            best = i;
            break;
        }
    }
    if (best == 0) return best;

    auto crcBlocked = [&](std::uint32_t i) {
        return crcHits && std::binary_search(crcHits->begin(), crcHits->end(), i);
    };
    matcher_.search(data, size, [&](std::uint32_t pattern) {
        for (std::uint32_t i : entriesOfPattern_[pattern]) {
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
