#include "session/TrustAnchors.h"

#include "utilities/Util.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace ldapmodel {

namespace {

constexpr char kPemStart[] = "-----BEGIN CERTIFICATE-----";
constexpr char kPemEnd[] = "-----END CERTIFICATE-----";

// The whole file, at most limit bytes; false with the reason otherwise.
bool readFile(const std::string& path, std::size_t limit, std::string& content, std::wstring& reason)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = util::fromUtf8(std::strerror(errno));
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok) {
        reason = util::fromUtf8(std::strerror(errno));
    } else if (!S_ISREG(info.st_mode)) {
        reason = L"not a regular file";
        ok = false;
    } else if (static_cast<std::size_t>(info.st_size) > limit) {
        reason = L"larger than " + std::to_wstring(limit / (1024 * 1024)) + L" MB";
        ok = false;
    }
    content.clear();
    char buffer[65536];
    while (ok) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            reason = util::fromUtf8(std::strerror(errno));
            ok = false;
        } else if (count == 0) {
            break;
        } else if (content.size() + static_cast<std::size_t>(count) > limit) {
            reason = L"larger than " + std::to_wstring(limit / (1024 * 1024)) + L" MB";
            ok = false;
        } else {
            content.append(buffer, static_cast<std::size_t>(count));
        }
    }
    ::close(fd);
    return ok;
}

// One DER certificate as a PEM block.
std::string derToPem(const std::string& der)
{
    const std::string base64 =
        util::base64Encode(reinterpret_cast<const unsigned char*>(der.data()), der.size());
    std::string pem = std::string(kPemStart) + "\n";
    for (std::size_t at = 0; at < base64.size(); at += 64)
        pem += base64.substr(at, 64) + "\n";
    pem += "-----END CERTIFICATE-----\n";
    return pem;
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

std::string systemBundle()
{
    std::string content;
    std::wstring ignored;
    if (!readFile(TrustAnchors::kSystemBundle, 64 * 1024 * 1024, content, ignored))
        content.clear();
    return content;
}

} // namespace

TrustAnchors::~TrustAnchors()
{
    if (m_iMemoryFile >= 0)
        ::close(m_iMemoryFile);
}

bool TrustAnchors::prepare(const std::wstring& caFile, std::wstring& error)
{
    error.clear();
    m_strCaPem.clear();
    m_strCaDer.clear();
    const bool haveBundle = ::access(kSystemBundle, R_OK) == 0;
    m_strLibraryFile = haveBundle ? kSystemBundle : "";
    if (caFile.empty())
        return true;

    std::string content;
    std::wstring reason;
    if (!readFile(util::toUtf8(caFile), kMaxFileSize, content, reason)) {
        error = L"Can't read the CA certificate file\n" + caFile + L"\n" + reason;
        return false;
    }
    const std::size_t start = content.find(kPemStart);
    if (start != std::string::npos) {
        m_strCaPem = content;
        const std::size_t end = content.find(kPemEnd, start);
        if (end != std::string::npos && content.find(kPemStart, end) == std::string::npos) {
            const std::size_t body = start + sizeof kPemStart - 1;
            const std::vector<unsigned char> der = util::base64Decode(content.substr(body, end - body));
            m_strCaDer.assign(der.begin(), der.end());
        }
    } else if (!content.empty() && static_cast<unsigned char>(content[0]) == 0x30) {
        m_strCaPem = derToPem(content);  // DER starts with a SEQUENCE
        m_strCaDer = content;
    } else {
        error = L"The CA certificate file\n" + caFile + L"\nholds no certificate (PEM or DER).";
        return false;
    }

    if (!m_strCaDer.empty() && haveBundle)
        return true;
    // libldap reads one file: the bundle and the CAs in memory.
    m_strCaDer.clear();
    m_iMemoryFile = ::memfd_create("dirlook-trusted-ca", MFD_CLOEXEC);
    if (m_iMemoryFile < 0 || !writeAll(m_iMemoryFile, pem())) {
        error = L"Can't prepare the trusted certificates: " + util::fromUtf8(std::strerror(errno));
        return false;
    }
    m_strLibraryFile = "/proc/self/fd/" + std::to_string(m_iMemoryFile);
    return true;
}

std::string TrustAnchors::pem() const
{
    std::string all = systemBundle();
    if (!all.empty() && all.back() != '\n')
        all += '\n';
    return all + m_strCaPem;
}

} // namespace ldapmodel
