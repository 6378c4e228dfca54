#pragma once

// Whole-file reads and writes and scratch folders for tests.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace dirtest {

// The file's bytes; empty when it can't be read.
inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Replaces the file's content with the bytes.
inline void writeFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// The text with every "\n" turned into "\r\n".
inline std::string crlf(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

// A fresh folder under the temporary directory that is the working
// directory while the object lives; removed with what it holds. path() is
// empty when it could not be made.
class ScratchWorkingDirectory {
public:
    explicit ScratchWorkingDirectory(const std::string& prefix)
        : m_previous(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        m_path = pattern;
        std::filesystem::current_path(m_path);
    }
    ~ScratchWorkingDirectory()
    {
        if (m_path.empty())
            return;
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchWorkingDirectory(const ScratchWorkingDirectory&) = delete;
    ScratchWorkingDirectory& operator=(const ScratchWorkingDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};

} // namespace dirtest
