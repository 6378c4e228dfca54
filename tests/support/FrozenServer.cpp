#include "support/FrozenServer.h"

#include "support/TestDirectoryServer.h"

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace dirtest {

pid_t serverPid(const TestDirectoryServer& server)
{
    std::string output;
    TestDirectoryServer::runProcess({"bash", TestDirectoryServer::scriptPath(), "status", server.directory()}, "",
                                    output);
    std::istringstream words(output);
    std::string state;
    int port = 0;
    long pid = 0;
    words >> state >> port >> pid;
    return state == "running" ? static_cast<pid_t>(pid) : 0;
}

FrozenServer::FrozenServer(const TestDirectoryServer& server) : m_pid(serverPid(server))
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGSTOP);
        if (!waitAllThreadsStopped())
            release();
    }
}

FrozenServer::~FrozenServer()
{
    release();
}

void FrozenServer::release()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGCONT);
    m_pid = 0;
}

bool FrozenServer::waitAllThreadsStopped() const
{
    const std::string tasks = "/proc/" + std::to_string(m_pid) + "/task";
    for (int attempt = 0; attempt < 200; ++attempt) {
        bool allStopped = true;
        std::error_code error;
        for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
            std::ifstream stat(task.path() / "stat");
            std::string line;
            std::getline(stat, line);
            std::string::size_type close = line.rfind(')');
            if (close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'T')
                allStopped = false;
        }
        if (!error && allStopped)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace dirtest
