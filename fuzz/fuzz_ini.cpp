// INI text: lookups never crash or return more than a profile read may, and a
// key set by the writer's edit reads back as the same key set in a fresh file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/IniProfile.h"
#include "platform/Utf16.h"

using namespace vk::platform;

namespace {

// Input: section NUL key NUL value NUL text.
std::string_view take(std::string_view& in) {
    std::size_t nul = in.find('\0');
    std::string_view part = in.substr(0, nul);
    in.remove_prefix(nul == std::string_view::npos ? in.size() : nul + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string_view whole = in;
    std::string_view section = take(in);
    std::string_view key = take(in);
    std::string_view value = take(in);
    std::string_view text = in;

    IniDocument doc = IniDocument::parse(whole);
    if (auto v = doc.find(section, key); v && v->size() > kIniValueLimit) std::abort();
    (void)doc.get(key, value, section);

    auto edited = setProfileStringInText(text, section, key, value);
    if (!edited) return 0;
    bool wide = text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
                static_cast<unsigned char>(text[1]) == 0xFE;
    // Through UTF-16 only valid UTF-8 comes back unchanged.
    if (wide && !(isValidUtf8(section) && isValidUtf8(key) && isValidUtf8(value))) return 0;
    auto fresh = setProfileStringInText({}, section, key, value);
    if (!fresh) std::abort();
    IniDocument editedDoc = IniDocument::parse(*edited);
    IniDocument freshDoc = IniDocument::parse(*fresh);
    auto got = editedDoc.find(section, key);
    auto want = freshDoc.find(section, key);
    if (!got || !want || *got != *want) std::abort();
    return 0;
}
