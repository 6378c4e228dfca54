// Loads arbitrary bytes as a profile file. When the load succeeds and every
// line fits the reader's limit, saving and loading again must give the same
// values and the same bytes.
#include "ConnectionPropertyFile.h"
#include "gc_ptr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

using ldapmodel::ConnectionPropertyFile;
using memorylib::gc_ptr;

namespace {

std::string g_directory;

const std::string& directory()
{
    if (g_directory.empty()) {
        char pattern[] = "/tmp/dirlook-fuzz-profile-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            std::abort();
        g_directory = pattern;
        std::atexit([] { std::filesystem::remove_all(g_directory); });
    }
    return g_directory;
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort();
    std::size_t written = 0;
    while (written < size) {
        ssize_t count = ::write(fd, data + written, size - written);
        if (count <= 0)
            std::abort();
        written += static_cast<std::size_t>(count);
    }
    ::close(fd);
}

std::string readFile(const std::string& path)
{
    std::string bytes;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        std::abort();
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(count));
    ::close(fd);
    return bytes;
}

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool fits(const std::wstring& value, std::size_t tabs)
{
    return value.size() + tabs <= ConnectionPropertyFile::kMaxLineLength;
}

bool sameValues(const ConnectionPropertyFile& a, const ConnectionPropertyFile& b)
{
    return a.getName() == b.getName() && a.getHostName() == b.getHostName() &&
           a.getPortNumber() == b.getPortNumber() && a.getUserDn() == b.getUserDn() &&
           a.getUserPassword() == b.getUserPassword() && a.getBaseDn() == b.getBaseDn() &&
           a.getAnonymous() == b.getAnonymous() && a.getFilter() == b.getFilter() &&
           a.getServerName() == b.getServerName();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input = directory() + "/input.connectionProperties";
    const std::string output = directory() + "/output.connectionProperties";
    writeFile(input, data, size);

    gc_ptr<ConnectionPropertyFile> profile(new ConnectionPropertyFile(wide(input)));
    int result = profile->load();
    if (result != 0 && result != 1)
        __builtin_trap();
    if (result != 0)
        return 0;
    if (!fits(profile->getName(), 3) || !fits(profile->getHostName(), 2) ||
        !fits(profile->getUserDn(), 3) || !fits(profile->getBaseDn(), 3) ||
        !fits(profile->getFilter(), 3) || !fits(profile->getServerName(), 2))
        return 0;

    ConnectionPropertyFile copy(wide(output));
    copy.setName(profile->getName());
    copy.setHostName(profile->getHostName());
    copy.setPortNumber(profile->getPortNumber());
    copy.setUserDn(profile->getUserDn());
    copy.setUserPassword(profile->getUserPassword());
    copy.setBaseDn(profile->getBaseDn());
    copy.setAnonymous(profile->getAnonymous());
    copy.setFilter(profile->getFilter());
    copy.setServerName(profile->getServerName());
    if (copy.save() != 0)
        __builtin_trap();
    const std::string saved = readFile(output);

    ConnectionPropertyFile again(wide(output));
    if (again.load() != 0 || !sameValues(*profile, again))
        __builtin_trap();
    if (again.save() != 0 || readFile(output) != saved)
        __builtin_trap();
    return 0;
}
