#pragma once

// Scratch files for the fuzz targets; any failure aborts the run.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzfiles {

// One directory per process, "/tmp/dirlook-fuzz-<name>-XXXXXX", made on the
// first call and removed at exit.
inline const std::string& directory(const char* name)
{
    static std::string path;
    if (path.empty()) {
        std::string pattern = std::string("/tmp/dirlook-fuzz-") + name + "-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path = pattern;
        std::atexit([] { std::filesystem::remove_all(path); });
    }
    return path;
}

// Replaces the file's content with size bytes of data.
inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort();
    std::size_t written = 0;
    while (written < size) {
        ssize_t count = ::write(fd, data + written, size - written);
        if (count <= 0)
            std::abort();
        written += static_cast<std::size_t>(count);
    }
    ::close(fd);
}

inline std::string readFile(const std::string& path)
{
    std::string bytes;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        std::abort();
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(count));
    ::close(fd);
    return bytes;
}

} // namespace fuzzfiles
