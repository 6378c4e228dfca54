#include "security/TrustedCertificates.h"

#include "logging/Log.h"
#include "profiles/Directories.h"
#include "utilities/PrivateFile.h"
#include "utilities/Util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cwctype>
#include <sstream>
#include <utility>

namespace ldapmodel {

namespace {

constexpr std::size_t kMaxFileSize = 1024 * 1024;

std::wstring lowerHost(const std::wstring& host)
{
    std::wstring lower = host;
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return lower;
}

// The file's text; empty when it is missing or can't be read.
std::string readText(const std::string& path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return text;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[8192];
        for (;;) {
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0 || text.size() + static_cast<std::size_t>(count) > kMaxFileSize)
                break;
            text.append(buffer, static_cast<std::size_t>(count));
        }
    }
    ::close(fd);
    return text;
}

// One line as a pin; false for anything else.
bool parseLine(const std::string& line, TrustedCertificates::Pin& pin)
{
    std::istringstream words(line);
    std::string host;
    std::string port;
    std::string fingerprint;
    std::string extra;
    if (!(words >> host >> port >> fingerprint) || (words >> extra))
        return false;
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int number = std::stoi(port);
    if (number < 1 || number > 65535)
        return false;
    pin.fingerprint = util::fromUtf8(fingerprint);
    if (!TrustedCertificates::isFingerprint(pin.fingerprint))
        return false;
    for (wchar_t& c : pin.fingerprint)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    pin.host = lowerHost(util::fromUtf8(host));
    pin.port = number;
    return true;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TrustedCertificates::TrustedCertificates(std::wstring fileName) : m_strFileName(std::move(fileName)) {}

std::wstring TrustedCertificates::defaultFileName()
{
    return Directories::getConfigDirectory() + L"/trusted-certificates";
}

bool TrustedCertificates::isFingerprint(const std::wstring& text)
{
    if (text.size() != 32 * 3 - 1)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (i % 3 == 2) {
            if (c != L':')
                return false;
        } else if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f'))) {
            return false;
        }
    }
    return true;
}

std::vector<TrustedCertificates::Pin> TrustedCertificates::parse(const std::string& text)
{
    std::vector<Pin> pins;
    for (const std::string& line : splitLines(text)) {
        Pin pin;
        if (parseLine(line, pin))
            pins.push_back(pin);
    }
    return pins;
}

std::wstring TrustedCertificates::pinnedFingerprint(const std::wstring& host, int port) const
{
    const std::wstring key = lowerHost(host);
    std::wstring found;
    for (const Pin& pin : parse(readText(util::toUtf8(m_strFileName)))) {
        if (pin.host == key && pin.port == port)
            found = pin.fingerprint;  // the last line wins
    }
    return found;
}

bool TrustedCertificates::pin(const std::wstring& host, int port, const std::wstring& fingerprint,
                              std::wstring& error)
{
    error.clear();
    const std::wstring key = lowerHost(host);
    if (key.empty() || key.find_first_of(L" \t\r\n") != std::wstring::npos || port < 1 || port > 65535
        || !isFingerprint(fingerprint)) {
        error = L"not a server and fingerprint";
        return false;
    }
    const std::string path = util::toUtf8(m_strFileName);
    std::string content;
    for (const std::string& line : splitLines(readText(path))) {
        Pin old;
        if (parseLine(line, old) && old.host == key && old.port == port)
            continue;
        content += line + "\n";
    }
    std::wstring upper = fingerprint;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    content += util::toUtf8(key) + " " + std::to_string(port) + " " + util::toUtf8(upper) + "\n";

    const std::size_t slash = m_strFileName.rfind(L'/');
    if (slash != std::wstring::npos && slash > 0)
        Directories::createPrivateDirectory(m_strFileName.substr(0, slash));
    const util::PrivateFile::Result written = util::PrivateFile::replace(path, content);
    if (!written.ok()) {
        error = written.step == util::PrivateFile::Step::NotRegular ? std::wstring(L"it is not a regular file")
                                                                     : util::fromUtf8(std::strerror(written.error));
        util::Log::getLog(L"ldapmodel")
            ->write(L"TrustedCertificates: can't write %s: %s", m_strFileName.c_str(), error.c_str());
        return false;
    }
    util::Log::getLog(L"ldapmodel")
        ->write(L"TrustedCertificates: %s:%d pinned to %s", key.c_str(), port, upper.c_str());
    return true;
}

} // namespace ldapmodel
