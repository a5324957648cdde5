#pragma once
// Random-access bytes of a file being read: a file on disk or a buffer in memory (the fuzzer and the
// tests read from memory through the same code as the program).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "core/status.h"

namespace frontlys {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::int64_t Size() const = 0;
    // True only when all of dst was filled from offset on.
    [[nodiscard]] virtual bool ReadAt(std::int64_t offset, std::span<char> dst) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const char> bytes) : m_bytes(bytes) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    bool ReadAt(std::int64_t offset, std::span<char> dst) override;

private:
    std::span<const char> m_bytes;
};

class FileSource final : public ByteSource {
public:
    // Regular files only: a pipe or a device could block the reader for ever.
    static Result<std::unique_ptr<FileSource>> Open(const std::filesystem::path& path);
    std::int64_t Size() const override { return m_size; }
    bool ReadAt(std::int64_t offset, std::span<char> dst) override;

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> m_file;
    std::int64_t m_size = 0;
    std::int64_t m_position = -1;  // where the next fread starts, -1 when unknown
};

}  // namespace frontlys
