#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/FileDescriptor.h"

namespace vk::tools {

// Random access to the bytes of a file or a buffer. Readers of untrusted
// formats ask for exactly the ranges they need, so a huge or hostile file
// never costs more memory than the parts that are looked at.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // False unless all n bytes at offset exist and were read.
    virtual bool read(std::uint64_t offset, void* out, std::size_t n) const = 0;

    std::optional<std::uint16_t> u16(std::uint64_t offset) const;
    std::optional<std::uint32_t> u32(std::uint64_t offset) const;
    // n bytes at offset, or nullopt when they are not all there.
    std::optional<std::string> bytes(std::uint64_t offset, std::size_t n) const;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> data) : data_(data) {}
    std::uint64_t size() const override { return data_.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t n) const override;

private:
    std::span<const std::uint8_t> data_;
};

// A regular file, opened for reading; size() is 0 and every read fails when
// it could not be opened.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path);

    bool isOpen() const { return file_.valid(); }
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* out, std::size_t n) const override;

private:
    platform::FileDescriptor file_;
    std::uint64_t size_ = 0;
};

}  // namespace vk::tools
