#include "profiles/ConnectionFiles.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "profiles/Directories.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace ldapmodel {

const wchar_t* const ConnectionFiles::kPattern = L"*.connectionProperties";
const wchar_t* const ConnectionFiles::kExtension = L".connectionProperties";

namespace {

// Closes the directory stream when it goes out of scope.
class DirectoryStream {
public:
    explicit DirectoryStream(const char* path) : m_pDir(::opendir(path)) {}
    ~DirectoryStream()
    {
        if (m_pDir != nullptr)
            ::closedir(m_pDir);
    }
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    DIR* get() const { return m_pDir; }

private:
    DIR* m_pDir;
};

// "*" matches any run of characters, "?" any one character; letter case
// counts. Backtracks only to the last star, so it stays linear in practice.
bool matchesPattern(const std::wstring& name, const std::wstring& pattern)
{
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::wstring::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starPattern = p++;
            starName = n;
        } else if (starPattern != std::wstring::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

// Regular files (or links to them) in the working directory whose names
// match the pattern, sorted by file name in byte order: the order of a
// directory listing varies between file systems and runs.
std::vector<std::wstring> matchingFiles(const std::wstring& pattern)
{
    std::vector<std::string> names;
    DirectoryStream directory(".");
    if (directory.get() == nullptr)
        return {};
    while (const dirent* entry = ::readdir(directory.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (!matchesPattern(util::fromUtf8(name), pattern))
            continue;
        struct stat info {};
        if (::stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    std::vector<std::wstring> result;
    result.reserve(names.size());
    for (const std::string& name : names)
        result.push_back(util::fromUtf8(name));
    return result;
}

// Letter case folded for ASCII and Latin-1, the characters a profile holds.
wchar_t foldCase(wchar_t c)
{
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<wchar_t>(c + 0x20);
    return c;
}

bool equalsIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    }
    return true;
}

} // namespace

ConnectionFiles::ConnectionFiles(const std::wstring& directory, const std::wstring& pattern)
    : m_strPattern(pattern), m_strDirectory(directory)
{
    scan();
}

ConnectionFiles::~ConnectionFiles() = default;

void ConnectionFiles::scan()
{
    util::TraceScope trace(L"ConnectionFiles::scan");
    DIRLOOK_GUARD(L"ConnectionFiles.cpp");

    const std::wstring saved = Directories::currentWorkingDirectory();
    if (saved.empty()) {
        util::messageBox(L"Connections directory not found",
                         L"Can't find the connections directory, windows error, please use the "
                         L"browse button to point to the connections directory",
                         util::BoxIcon::None, util::BoxButtons::OkCancel);
    }
    // Only the connections directory is listed; when it can't be entered the
    // list stays empty rather than showing whatever directory is current.
    if (!Directories::changeWorkingDirectory(m_strDirectory)) {
        util::Log::getLog(L"ldapmodel")
            ->write(L"ConnectionFiles::scan can't enter %s", m_strDirectory.c_str());
        return;
    }
    const std::vector<std::wstring> files = matchingFiles(m_strPattern);
    if (files.empty())
        return;
    for (const std::wstring& file : files) {
        memorylib::gc_ptr<ConnectionPropertyFile> profile(new ConnectionPropertyFile(file));
        profile->load();
        m_profiles.push_back(profile);
    }
    if (!saved.empty())
        Directories::changeWorkingDirectory(saved);
    util::Log::getLog(L"ldapmodel")
        ->write(L"ConnectionFiles::scan %s: %d profiles", m_strDirectory.c_str(),
                static_cast<int>(m_profiles.size()));
}

int ConnectionFiles::listFileNames(std::vector<std::wstring>& fileNames)
{
    util::TraceScope trace(L"ConnectionFiles::listFileNames");
    DIRLOOK_GUARD(L"ConnectionFiles.cpp");
    if (!Directories::changeWorkingDirectory(m_strDirectory))
        return -1;
    const std::vector<std::wstring> files = matchingFiles(L"*" + m_strPattern);
    if (files.empty())
        return -1;
    fileNames.insert(fileNames.end(), files.begin(), files.end());
    return 0;
}

memorylib::gc_ptr<ConnectionPropertyFile> ConnectionFiles::findByName(const std::wstring& name) const
{
    for (const auto& profile : m_profiles) {
        if (profile->getName() == name)
            return profile;
    }
    return memorylib::gc_ptr<ConnectionPropertyFile>();
}

bool ConnectionFiles::exists(const std::wstring& name) const
{
    return findByName(name).get() != nullptr;
}

void ConnectionFiles::removeByName(const std::wstring& name)
{
    util::TraceScope trace(L"ConnectionFiles::removeByName");
    DIRLOOK_GUARD(L"ConnectionFiles.cpp");
    auto found = std::find_if(m_profiles.begin(), m_profiles.end(), [&](const auto& profile) {
        return equalsIgnoringCase(profile->getName(), name);
    });
    if (found == m_profiles.end())
        return;
    const std::wstring fileName = (*found)->getFileName();
    m_profiles.erase(found);

    // The bare file name lives in this object's directory, wherever the
    // working directory is now.
    std::wstring path = fileName;
    if (!path.empty() && path.front() != L'/')
        path = (m_strDirectory.empty() || m_strDirectory.back() == L'/' ? m_strDirectory
                                                                        : m_strDirectory + L"/") +
               fileName;
    util::Log::getLog(L"ldapmodel")
        ->write(L"ConnectionFiles::removeByName %s", path.c_str());
    const std::string bytes = util::toUtf8(path);
    if (::unlink(bytes.c_str()) != 0)
        util::showLastError(fileName);  // reads errno from the unlink
}

bool ConnectionFiles::profileNameOf(const std::wstring& fileName, std::wstring& profileName)
{
    const std::size_t position = fileName.find(kExtension);
    if (position == std::wstring::npos)
        return false;
    profileName = fileName.substr(0, position);
    return true;
}

std::wstring ConnectionFiles::profilePath(const std::wstring& profileName)
{
    return Directories::getConnectionsDirectory() + L"/" + profileName + kExtension;
}

} // namespace ldapmodel
