#pragma once

// Whole-file reads and writes for tests.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

} // namespace dirtest
