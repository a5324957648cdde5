#include "files/byte_source.h"

#include <sys/types.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace frontlys {
namespace {

Status OpenFailure(const std::filesystem::path& path, std::string why)
{
    return Status::Fail(StatusCode::NotFound, "L'image est introuvable", path.string() + ": " + why);
}

}  // namespace

bool MemorySource::ReadAt(std::int64_t offset, std::span<char> dst)
{
    if (offset < 0 || offset > Size() || static_cast<std::int64_t>(dst.size()) > Size() - offset)
        return false;
    std::memcpy(dst.data(), m_bytes.data() + offset, dst.size());
    return true;
}

Result<std::unique_ptr<FileSource>> FileSource::Open(const std::filesystem::path& path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return OpenFailure(path, "no such file");
    if (!std::filesystem::is_regular_file(path, ec)) return OpenFailure(path, "not a regular file");
    auto source = std::unique_ptr<FileSource>(new FileSource);
    source->m_file.reset(std::fopen(path.c_str(), "rb"));
    if (!source->m_file) return OpenFailure(path, std::strerror(errno));
    if (::fseeko(source->m_file.get(), 0, SEEK_END) != 0) return OpenFailure(path, "cannot seek");
    source->m_size = ::ftello(source->m_file.get());
    if (source->m_size < 0) return OpenFailure(path, "cannot tell the size");
    return source;
}

bool FileSource::ReadAt(std::int64_t offset, std::span<char> dst)
{
    if (offset < 0 || static_cast<std::int64_t>(dst.size()) > m_size - offset) return false;
    // Sequential reads (row after row) skip the seek, which would drop the stdio buffer.
    if (offset != m_position && ::fseeko(m_file.get(), offset, SEEK_SET) != 0) {
        m_position = -1;
        return false;
    }
    const std::size_t n = std::fread(dst.data(), 1, dst.size(), m_file.get());
    m_position = n == dst.size() ? offset + static_cast<std::int64_t>(n) : -1;
    return n == dst.size();
}

}  // namespace frontlys
