#include "profiles/Directories.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace ldapmodel {

namespace {

struct DirectoryState {
    bool initialized = false;
    std::wstring base;
    std::wstring connections;
    std::wstring config;
    std::wstring log;
    std::wstring help;
    std::wstring installedHelp;
};

DirectoryState& state()
{
    static DirectoryState directories;
    return directories;
}

// Derived on first use when start-up did not do it.
DirectoryState& initializedState()
{
    if (!state().initialized)
        Directories::initialize();
    return state();
}

std::wstring join(const std::wstring& directory, const wchar_t* name)
{
    if (!directory.empty() && directory.back() == L'/')
        return directory + name;
    return directory + L"/" + name;
}

bool isDirectory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// An absolute path from the environment, or empty.
std::string absoluteFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return std::string();
    return value;
}

std::string homeDirectory()
{
    std::string home = absoluteFromEnvironment("HOME");
    if (!home.empty())
        return home;
    const passwd* account = ::getpwuid(::getuid());
    if (account != nullptr && account->pw_dir != nullptr && account->pw_dir[0] == '/')
        return account->pw_dir;
    return std::string();
}

std::wstring withoutTrailingSlashes(std::wstring path)
{
    while (path.size() > 1 && path.back() == L'/')
        path.pop_back();
    return path;
}

void deriveFrom(const std::wstring& base)
{
    DirectoryState& directories = state();
    directories.base = base.empty() ? std::wstring(L".") : base;
    directories.connections = join(directories.base, L"connections");
    directories.config = join(directories.base, L"config");
    directories.log = join(directories.base, L"log");
    directories.help = join(directories.base, L"Help");
    directories.initialized = true;
    util::Log::getLog(L"ldapmodel")
        ->write(L"Directories::initialize %s", directories.base.c_str());
}

} // namespace

void Directories::initialize()
{
    util::TraceScope trace(L"Directories::initialize");
    deriveFrom(currentWorkingDirectory());
}

bool Directories::initializeAt(const std::wstring& base)
{
    util::TraceScope trace(L"Directories::initializeAt");
    deriveFrom(base);
    return changeWorkingDirectory(base);
}

std::wstring Directories::chooseBaseDirectory(BaseRule rule, const std::wstring& workingDirectory,
                                              const std::wstring& requested)
{
    switch (rule) {
    case BaseRule::Requested:
        if (requested.empty())
            return std::wstring();
        if (requested.front() == L'/' || workingDirectory.empty())
            return withoutTrailingSlashes(requested);
        return withoutTrailingSlashes(join(workingDirectory, requested.c_str()));
    case BaseRule::UserData:
        return userDataDirectory();
    case BaseRule::Automatic:
        break;
    }
    if (!workingDirectory.empty()
        && isDirectory(util::toUtf8(join(workingDirectory, L"connections"))))
        return workingDirectory;
    const std::wstring userData = userDataDirectory();
    return userData.empty() ? workingDirectory : userData;
}

std::wstring Directories::userDataDirectory()
{
    std::wstring dataHome = withoutTrailingSlashes(util::fromUtf8(absoluteFromEnvironment("XDG_DATA_HOME")));
    if (dataHome.empty()) {
        const std::wstring home = withoutTrailingSlashes(util::fromUtf8(homeDirectory()));
        if (home.empty())
            return std::wstring();
        dataHome = join(home, L".local/share");
    }
    return join(dataHome, L"dirlook");
}

bool Directories::createPrivateDirectory(const std::wstring& directory)
{
    const std::string path = util::toUtf8(directory);
    if (path.empty())
        return false;
    // Parents first; each one made here is the owner's alone, as the base
    // directory rules (XDG) ask of the data directories.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string parent = path.substr(0, slash);
        if (!isDirectory(parent))
            ::mkdir(parent.c_str(), 0700);
    }
    if (!isDirectory(path) && ::mkdir(path.c_str(), 0700) == 0) {
        ::chmod(path.c_str(), 0700);
        util::Log::getLog(L"ldapmodel")
            ->write(L"Directories::createPrivateDirectory %s", directory.c_str());
    }
    return isDirectory(path);
}

void Directories::setInstalledHelpDirectory(const std::wstring& directory)
{
    state().installedHelp = directory;
}

std::wstring Directories::getInstalledHelpDirectory() { return state().installedHelp; }

std::vector<std::wstring> Directories::getHelpDirectories()
{
    std::vector<std::wstring> folders{initializedState().help};
    const std::wstring& installed = state().installedHelp;
    if (!installed.empty() && installed != folders.front())
        folders.push_back(installed);
    return folders;
}

std::wstring Directories::getBaseDirectory() { return initializedState().base; }
std::wstring Directories::getConnectionsDirectory() { return initializedState().connections; }
std::wstring Directories::getConfigDirectory() { return initializedState().config; }
std::wstring Directories::getLogDirectory() { return initializedState().log; }
std::wstring Directories::getHelpDirectory() { return initializedState().help; }

bool Directories::changeToBaseDirectory()
{
    return changeWorkingDirectory(initializedState().base);
}

void Directories::relocate(const std::optional<std::wstring>& chosenFolder)
{
    util::TraceScope trace(L"Directories::relocate");
    DIRLOOK_GUARD(L"Directories.cpp");
    DirectoryState& directories = initializedState();
    if (chosenFolder)
        directories.base = *chosenFolder;
    changeWorkingDirectory(directories.base);
    directories.connections = directories.base;
    util::Log::getLog(L"ldapmodel")
        ->write(L"Directories::relocate %s", directories.connections.c_str());
}

void Directories::ensureConnectionsDirectory()
{
    util::TraceScope trace(L"Directories::ensureConnectionsDirectory");
    DIRLOOK_GUARD(L"Directories.cpp");
    const std::string path = util::toUtf8(initializedState().connections);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return;
    // Profiles hold clear-text passwords: the directory is for its owner only.
    if (::mkdir(path.c_str(), 0700) == 0) {
        ::chmod(path.c_str(), 0700);
        util::Log::getLog(L"ldapmodel")
            ->write(L"Directories::ensureConnectionsDirectory created %s",
                    initializedState().connections.c_str());
        return;
    }
    util::messageBox(L"Directory missing", L"Please re-install the program. Critical files are missing",
                     util::BoxIcon::None, util::BoxButtons::Ok);
}

std::wstring Directories::currentWorkingDirectory()
{
    std::vector<char> buffer(512);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr)
            return util::fromUtf8(std::string(buffer.data()));
        if (errno != ERANGE || buffer.size() >= (1u << 20))
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

bool Directories::changeWorkingDirectory(const std::wstring& directory)
{
    const std::string path = util::toUtf8(directory);
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

} // namespace ldapmodel
