#include "profiles/ConnectionPropertyFile.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "utilities/PrivateFile.h"
#include "utilities/Util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

namespace ldapmodel {

namespace {

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now; false when the close reports an error.
    bool close()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// A word longer than this is taken for damage rather than a value.
constexpr std::size_t kMaxWordLength = 65536;
static_assert(ConnectionPropertyFile::kMaxPasswordLineLength >= kMaxWordLength + 2,
              "a password word of an older file must load whole");
// Longer than every key, so a longer word never matches one.
constexpr std::size_t kMaxKeyLength = 32;

bool isWordSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Buffered reader with the semantics of a text-mode stream: CR LF reads as
// LF. Once a read fails (end of file before a word, over-long line) every
// later read fails too.
class ProfileReader {
public:
    explicit ProfileReader(int fd) : m_fd(fd) {}

    // Next whitespace-delimited word; the delimiter stays unread.
    bool readWord(std::string& word, std::size_t maxLength)
    {
        word.clear();
        if (m_bFailed)
            return false;
        int c = get();
        while (c >= 0 && isWordSpace(c))
            c = get();
        while (c >= 0 && !isWordSpace(c)) {
            if (word.size() == maxLength) {
                m_bFailed = true;
                return false;
            }
            word.push_back(static_cast<char>(c));
            c = get();
        }
        if (c >= 0)
            unget(c);
        if (word.empty()) {
            m_bFailed = true;
            return false;
        }
        return true;
    }

    // Rest of the current line, at most maxLength bytes; the line end is
    // consumed. A longer line yields its first maxLength bytes and fails the
    // reader. End of file before any byte fails.
    bool readLine(std::string& line, std::size_t maxLength)
    {
        line.clear();
        if (m_bFailed)
            return false;
        for (;;) {
            int c = get();
            if (c < 0) {
                if (line.empty()) {
                    m_bFailed = true;
                    return false;
                }
                return true;
            }
            if (c == '\n')
                return true;
            if (line.size() == maxLength) {
                unget(c);
                m_bFailed = true;
                return true;
            }
            line.push_back(static_cast<char>(c));
        }
    }

private:
    int get()
    {
        if (m_iPushedBack >= 0) {
            int c = m_iPushedBack;
            m_iPushedBack = -1;
            return c;
        }
        int c = rawGet();
        if (c == '\r' && rawPeek() == '\n')
            c = rawGet();
        return c;
    }

    void unget(int c) { m_iPushedBack = c; }

    int rawPeek()
    {
        if (m_uPos == m_uEnd && !fill())
            return -1;
        return m_buffer[m_uPos];
    }

    int rawGet()
    {
        int c = rawPeek();
        if (c >= 0)
            ++m_uPos;
        return c;
    }

    bool fill()
    {
        if (m_bEof)
            return false;
        for (;;) {
            ssize_t count = ::read(m_fd, m_buffer, sizeof m_buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0) {
                m_bEof = true;
                return false;
            }
            m_uPos = 0;
            m_uEnd = static_cast<std::size_t>(count);
            return true;
        }
    }

    int m_fd;
    unsigned char m_buffer[8192];
    std::size_t m_uPos = 0;
    std::size_t m_uEnd = 0;
    int m_iPushedBack = -1;
    bool m_bEof = false;
    bool m_bFailed = false;
};

// One byte per character.
std::wstring bytesToText(const std::string& bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (char byte : bytes)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    return text;
}

// Appends one byte per character; a character the file can't hold becomes
// "?", and a line feed is written as CR LF like any other line end.
void appendText(std::string& out, const std::wstring& text)
{
    for (wchar_t c : text) {
        if (c == L'\n')
            out += "\r\n";
        else if (c < 0 || c > 255)
            out.push_back('?');
        else
            out.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    }
}

void appendLine(std::string& out, const char* keyAndTabs, const std::wstring& value)
{
    out += keyAndTabs;
    if (value.empty())
        out.push_back('-');
    else
        appendText(out, value);
    out += "\r\n";
}

// Leading decimal digits with an optional sign; 0 without digits. Values
// beyond the 32-bit range are clamped.
std::int32_t parsePort(const std::string& word)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
        negative = word[i] == '-';
        ++i;
    }
    const std::int64_t limit = negative
        ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
        value = value * 10 + (word[i] - '0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

enum class ValueKind { TextLine, Port, Password, Flag };

// The rest of the line without carriage returns and without its leading
// run of tabs and spaces; false when nothing is left or the line can't be
// read.
bool readLineValue(ProfileReader& reader, std::size_t maxLength, std::string& value)
{
    std::string line;
    if (!reader.readLine(line, maxLength))
        return false;
    std::string cleaned;
    cleaned.reserve(line.size());
    for (char c : line) {
        if (c != '\r')
            cleaned.push_back(c);
    }
    const std::size_t start = cleaned.find_first_not_of(" \t");
    if (start == std::string::npos)
        return false;
    value = cleaned.substr(start);
    return true;
}

struct FieldFormat {
    const char* key;
    const char* keyAndTabs;
    ValueKind kind;
};

// Nine lines in this order.
const FieldFormat kFields[] = {
    {"Name", "Name\t\t\t", ValueKind::TextLine},
    {"HostName", "HostName\t\t", ValueKind::TextLine},
    {"PortNumber", "PortNumber\t\t", ValueKind::Port},
    {"UserDn", "UserDn\t\t\t", ValueKind::TextLine},
    {"UserPassword", "UserPassword\t\t", ValueKind::Password},
    {"BaseDn", "BaseDn\t\t\t", ValueKind::TextLine},
    {"Anonymous", "Anonymous\t\t", ValueKind::Flag},
    {"Filter", "Filter\t\t\t", ValueKind::TextLine},
    {"ServerName", "ServerName\t\t", ValueKind::TextLine},
};

// The extra lines after the nine, written only when not the default.
constexpr char kSecurityKey[] = "Security";
constexpr char kSecurityKeyAndTabs[] = "Security\t\t";
constexpr char kCaCertificateKey[] = "CACertificate";
constexpr char kCaCertificateKeyAndTabs[] = "CACertificate\t\t";
// Longest extra line skipped whole; a longer one ends the reading.
constexpr std::size_t kMaxExtraLineLength = 65536;

// The extra lines after the nine, up to the end of the file.
void readExtraLines(ProfileReader& reader, ConnectionPropertyFile& profile)
{
    std::string key;
    std::string text;
    while (reader.readWord(key, kMaxKeyLength)) {
        if (key == kSecurityKey) {
            if (readLineValue(reader, ConnectionPropertyFile::kMaxLineLength, text)) {
                while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
                    text.pop_back();
                profile.setSecurityText(bytesToText(text));
            } else {
                profile.setSecurityText(L"-");  // a Security line without a value: not known
            }
        } else if (key == kCaCertificateKey) {
            profile.setCaCertificate(
                readLineValue(reader, ConnectionPropertyFile::kMaxCaCertificateLength + 2, text) ? bytesToText(text)
                                                                                            : std::wstring());
        } else {
            std::string rest;
            if (!reader.readLine(rest, kMaxExtraLineLength))
                break;
        }
    }
}

} // namespace

ConnectionPropertyFile::ConnectionPropertyFile(const std::wstring& fileName)
    : m_strFileName(fileName)
{
}

ConnectionPropertyFile::~ConnectionPropertyFile() = default;

int ConnectionPropertyFile::load()
{
    util::TraceScope trace(L"ConnectionPropertyFile::load");
    DIRLOOK_GUARD(L"ConnectionPropertyFile.cpp");

    const std::string path = util::toUtf8(m_strFileName);
    // Non-blocking, so a FIFO can't stall the open; only regular files load.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        util::Log::getLog(L"ldapmodel")
            ->write(L"ConnectionPropertyFile::load can't open %s", m_strFileName.c_str());
        return -1;
    }

    ProfileReader reader(file.get());
    std::string word;
    std::string text;
    for (std::size_t index = 0; index < sizeof kFields / sizeof kFields[0]; ++index) {
        const FieldFormat& field = kFields[index];
        if (!reader.readWord(word, kMaxKeyLength) || word != field.key) {
            util::Log::getLog(L"ldapmodel")
                ->write(L"ConnectionPropertyFile::load %s stops before line %d",
                        m_strFileName.c_str(), static_cast<int>(index + 1));
            return 1;
        }

        std::wstring value;
        switch (field.kind) {
        case ValueKind::TextLine:
            if (!readLineValue(reader, kMaxLineLength, text))
                return 1;
            value = bytesToText(text);
            break;
        case ValueKind::Password:
            // The rest of the line, so spaces belong to the password; as long
            // as a password word could be, so older files load as before.
            if (!readLineValue(reader, kMaxPasswordLineLength, text))
                return 1;
            value = bytesToText(text);
            break;
        case ValueKind::Port:
        case ValueKind::Flag:
            if (!reader.readWord(word, kMaxWordLength))
                return 1;
            value = bytesToText(word);
            break;
        }

        switch (index) {
        case 0: m_strName = value; break;
        case 1: m_strHostName = value; break;
        case 2: m_iPortNumber = parsePort(word); break;
        case 3: m_strUserDn = value == L"-" ? std::wstring() : value; break;
        case 4: m_strUserPassword = value == L"-" ? std::wstring() : value; break;
        case 5: m_strBaseDn = value == L"-" ? std::wstring() : value; break;
        case 6: m_bAnonymous = word == "true"; break;
        case 7: m_strFilter = value; break;
        case 8: m_strServerName = value; break;
        default: break;
        }
    }
    readExtraLines(reader, *this);
    util::Log::getLog(L"ldapmodel")
        ->write(L"ConnectionPropertyFile::load %s host %s", m_strFileName.c_str(),
                m_strHostName.c_str());
    return 0;
}

void ConnectionPropertyFile::setSecurity(Security value)
{
    m_security = value;
    switch (value) {
    case Security::None: m_strSecurity.clear(); break;
    case Security::Ldaps: m_strSecurity = L"ldaps"; break;
    case Security::StartTls: m_strSecurity = L"starttls"; break;
    case Security::Unknown: break;
    }
}

void ConnectionPropertyFile::setSecurityText(const std::wstring& value)
{
    m_strSecurity = value;
    if (value.empty())
        m_security = Security::None;
    else if (value == L"ldaps")
        m_security = Security::Ldaps;
    else if (value == L"starttls")
        m_security = Security::StartTls;
    else
        m_security = Security::Unknown;
}

wchar_t ConnectionPropertyFile::firstUnstorableCharacter(const std::wstring& text)
{
    for (wchar_t c : text) {
        if (c < 0 || c > 255)
            return c;
    }
    return 0;
}

int ConnectionPropertyFile::saveFailed(const wchar_t* what, int error)
{
    m_strSaveError = what;
    if (error != 0)
        m_strSaveError += L": " + util::fromUtf8(std::strerror(error));
    util::Log::getLog(L"ldapmodel")
        ->write(L"ConnectionPropertyFile::save %s: %s", m_strFileName.c_str(), m_strSaveError.c_str());
    return -1;
}

int ConnectionPropertyFile::save()
{
    util::TraceScope trace(L"ConnectionPropertyFile::save");
    DIRLOOK_GUARD(L"ConnectionPropertyFile.cpp");
    m_strSaveError.clear();

    std::string content;
    appendLine(content, kFields[0].keyAndTabs, m_strName);
    appendLine(content, kFields[1].keyAndTabs, m_strHostName);
    content += kFields[2].keyAndTabs;
    content += std::to_string(m_iPortNumber);
    content += "\r\n";
    appendLine(content, kFields[3].keyAndTabs, m_strUserDn);
    appendLine(content, kFields[4].keyAndTabs, m_strUserPassword);
    appendLine(content, kFields[5].keyAndTabs, m_strBaseDn);
    content += kFields[6].keyAndTabs;
    content += m_bAnonymous ? "true" : "false";
    content += "\r\n";
    appendLine(content, kFields[7].keyAndTabs, m_strFilter);
    appendLine(content, kFields[8].keyAndTabs, m_strServerName);
    if (m_security != Security::None)
        appendLine(content, kSecurityKeyAndTabs, m_strSecurity);
    if (!m_strCaCertificate.empty())
        appendLine(content, kCaCertificateKeyAndTabs, m_strCaCertificate);

    // The file holds a clear-text password: owner-only, replaced whole.
    const util::PrivateFile::Result written = util::PrivateFile::replace(util::toUtf8(m_strFileName), content);
    switch (written.step) {
    case util::PrivateFile::Step::Done:
        break;
    case util::PrivateFile::Step::NotRegular:
        return saveFailed(L"is not a regular file", 0);
    case util::PrivateFile::Step::Create:
        return saveFailed(L"can't create a file beside it", written.error);
    case util::PrivateFile::Step::MakePrivate:
        return saveFailed(L"can't make the file private", written.error);
    case util::PrivateFile::Step::Write:
        return saveFailed(L"write error", written.error);
    case util::PrivateFile::Step::Close:
        return saveFailed(L"close error", written.error);
    case util::PrivateFile::Step::Rename:
        return saveFailed(L"can't replace the file", written.error);
    }
    util::Log::getLog(L"ldapmodel")
        ->write(L"ConnectionPropertyFile::save %s host %s", m_strFileName.c_str(),
                m_strHostName.c_str());
    return 0;
}

} // namespace ldapmodel
