#include "ldif/LdifErrorFile.h"

#include "utilities/Util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <utility>
#include <system_error>

namespace ldapmodel {

namespace {

// The comment as one line: line breaks in its text become spaces.
std::string commentLine(const std::wstring& text)
{
    std::string line = "# " + util::toUtf8(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    line += '\n';
    return line;
}

std::wstring absolute(const std::wstring& name)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(util::toUtf8(name), error);
    return error ? name : util::fromUtf8(path.lexically_normal().string());
}

// Writes the pieces one after the other, without joining them (a record
// may be as large as the largest value).
bool writeAll(int fd, std::initializer_list<std::pair<const char*, std::size_t>> pieces, int& error)
{
    for (const auto& piece : pieces) {
        std::size_t written = 0;
        while (written < piece.second) {
            ssize_t count = ::write(fd, piece.first + written, piece.second - written);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0) {
                error = count < 0 ? errno : ENOSPC;
                return false;
            }
            written += static_cast<std::size_t>(count);
        }
    }
    return true;
}

} // namespace

LdifErrorFile::LdifErrorFile(const std::wstring& preferredName) : m_strPreferredName(preferredName) {}

LdifErrorFile::~LdifErrorFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::wstring LdifErrorFile::getPreferredPath() const
{
    return absolute(m_strPreferredName);
}

std::wstring LdifErrorFile::numberedName(const std::wstring& name, int number)
{
    if (number <= 1)
        return name;
    const std::size_t slash = name.rfind(L'/');
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot <= nameStart)
        dot = name.size();
    return name.substr(0, dot) + L"-" + std::to_wstring(number) + name.substr(dot);
}

bool LdifErrorFile::fail(const std::wstring& what, int error)
{
    if (m_strFailure.empty())
        m_strFailure = what + (error != 0 ? L": " + util::fromUtf8(std::strerror(error)) : std::wstring());
    m_bFailed = true;
    return false;
}

bool LdifErrorFile::create()
{
    for (int number = 1; number <= MAX_NUMBER; ++number) {
        const std::wstring name = numberedName(m_strPreferredName, number);
        const std::string path = util::toUtf8(name);
        // O_EXCL: a name that is taken, by a file, a directory or a link,
        // is passed over.
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::fchmod(fd, 0600);  // whatever the umask
            m_fd = fd;
            m_strPath = absolute(name);
            return true;
        }
        if (errno != EEXIST)
            return fail(L"Can't create " + absolute(name), errno);
    }
    return fail(L"Can't create " + getPreferredPath() + L": every numbered name up to "
                    + std::to_wstring(MAX_NUMBER) + L" is taken",
                0);
}

bool LdifErrorFile::append(const std::wstring& comment, const std::string& linesAsRead)
{
    if (m_bFailed || (m_fd < 0 && !create())) {
        ++m_iLost;
        return false;
    }
    // A first line that starts with a space would continue the comment.
    const bool separate = !linesAsRead.empty() && linesAsRead[0] == ' ';
    const std::string commentText = commentLine(comment);
    int error = 0;
    if (!writeAll(m_fd,
                  {{commentText.data(), commentText.size()},
                   {"\n", separate ? 1u : 0u},
                   {linesAsRead.data(), linesAsRead.size()},
                   {"\n", 1u}},
                  error)) {
        // No half record stays behind.
        if (::ftruncate(m_fd, static_cast<off_t>(m_llSize)) == 0)
            ::lseek(m_fd, static_cast<off_t>(m_llSize), SEEK_SET);
        ++m_iLost;
        return fail(L"Can't write " + m_strPath, error);
    }
    m_llSize += static_cast<long long>(commentText.size() + (separate ? 1 : 0) + linesAsRead.size() + 1);
    ++m_iWritten;
    return true;
}

} // namespace ldapmodel
