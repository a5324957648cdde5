#include "core/atomic_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>

namespace frontlys {
namespace {

Status IoFailure(const std::filesystem::path& path, const char* step, int error)
{
    return Status::Fail(StatusCode::IoError,
                        "Erreur d'écriture du fichier " + path.string(),
                        std::string(step) + ": " + std::strerror(error));
}

std::filesystem::path TemporaryBeside(const std::filesystem::path& destination)
{
    std::random_device rd;
    auto name = destination.filename().string() + ".tmp" + std::to_string(rd() % 1000000);
    return destination.parent_path() / name;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

Status WriteFileAtomically(const std::filesystem::path& destination, std::string_view bytes)
{
    const auto temp = TemporaryBeside(destination);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return IoFailure(destination, "create temporary file", errno);
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return IoFailure(destination, "write", error);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return IoFailure(destination, "close", error);
    }
    if (::rename(temp.c_str(), destination.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return IoFailure(destination, "rename", error);
    }
    return Status::Ok();
}

}  // namespace frontlys
