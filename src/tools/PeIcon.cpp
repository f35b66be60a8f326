#include "tools/PeIcon.h"

#include <algorithm>
#include <vector>

#include "tools/PeImage.h"
#include "tools/PeResources.h"

namespace vk::tools {
namespace {

constexpr std::size_t kGroupHeader = 6;
constexpr std::size_t kGroupEntry = 14;  // GRPICONDIRENTRY
constexpr std::size_t kFileEntry = 16;   // ICONDIRENTRY
// Far above any real icon (256x256 in 32 bits is 256 KB uncompressed).
constexpr std::size_t kMaxIconBytes = 8u << 20;
// Icon groups hold a handful of sizes; more is not an icon.
constexpr std::size_t kMaxImages = 64;

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::optional<std::string> extractIcon(const ByteSource& file) {
    auto image = PeImage::parse(file);
    if (!image) return std::nullopt;
    PeResources resources(file, *image);
    auto group = resources.find(kRtGroupIcon, std::nullopt);
    if (!group || group->size < kGroupHeader) return std::nullopt;
    auto type = file.u16(group->fileOffset + 2);
    auto count = file.u16(group->fileOffset + 4);
    if (!type || *type != 1 || !count) return std::nullopt;
    const std::size_t n = std::min({std::size_t{*count}, (group->size - kGroupHeader) / kGroupEntry, kMaxImages});

    struct Image {
        std::string entry;  // the twelve bytes both directories share
        std::string bytes;
    };
    std::vector<Image> images;
    std::size_t total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        auto entry = file.bytes(group->fileOffset + kGroupHeader + i * kGroupEntry, kGroupEntry);
        if (!entry) break;
        auto id = static_cast<std::uint16_t>(static_cast<unsigned char>((*entry)[12]) |
                                             (static_cast<unsigned char>((*entry)[13]) << 8));
        auto data = resources.find(kRtIcon, id);
        if (!data || data->size == 0 || data->size > kMaxIconBytes - total) continue;
        auto bytes = file.bytes(data->fileOffset, data->size);
        if (!bytes) continue;
        total += bytes->size();
        images.push_back({entry->substr(0, 8), std::move(*bytes)});
    }
    if (images.empty()) return std::nullopt;

    std::string ico;
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(kGroupHeader + kFileEntry * images.size());
    for (const Image& img : images) {
        ico += img.entry;  // width, height, colours, reserved, planes, bit count
        put32(ico, static_cast<std::uint32_t>(img.bytes.size()));
        put32(ico, offset);
        offset += static_cast<std::uint32_t>(img.bytes.size());
    }
    for (const Image& img : images) ico += img.bytes;
    return ico;
}

std::optional<std::string> extractIcon(const std::string& path) {
    FileSource file(path);
    if (!file.isOpen()) return std::nullopt;
    return extractIcon(file);
}

}  // namespace vk::tools
