#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at scope end.

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

namespace frontlys {

class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> counter{0};
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            m_path = base / ("frontlys-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
            if (std::filesystem::create_directory(m_path)) break;
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace frontlys
