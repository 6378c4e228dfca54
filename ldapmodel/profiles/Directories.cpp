#include "profiles/Directories.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

} // namespace

void Directories::initialize()
{
    util::TraceScope trace(L"Directories::initialize");
    DirectoryState& directories = state();
    directories.base = currentWorkingDirectory();
    if (directories.base.empty())
        directories.base = L".";
    directories.connections = join(directories.base, L"connections");
    directories.config = join(directories.base, L"config");
    directories.log = join(directories.base, L"log");
    directories.help = join(directories.base, L"Help");
    directories.initialized = true;
    util::Log::getLog(L"ldapmodel")
        ->write(L"Directories::initialize %s", directories.base.c_str());
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
