#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

private:
    const std::vector<SignatureEntry>* entries_ = nullptr;
    // (CRC, entry index) sorted: the entries with one CRC are a run, ascending.
    std::vector<std::pair<std::int32_t, std::uint32_t>> byCrc_;
    // Entries of pattern p: patternEntries_[patternStart_[p] .. patternStart_[p + 1]), ascending.
    std::vector<std::uint32_t> patternStart_;
    std::vector<std::uint32_t> patternEntries_;
    PatternMatcher matcher_;
};

}  // namespace vk::scan
