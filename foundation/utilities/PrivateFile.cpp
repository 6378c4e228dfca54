#include "utilities/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace util {

namespace {

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    void keep() { m_path.clear(); }

private:
    std::string m_path;
};

PrivateFile::Result failed(PrivateFile::Step step, int error)
{
    return PrivateFile::Result{step, error};
}

} // namespace

PrivateFile::Result PrivateFile::replace(const std::string& path, const std::string& content)
{
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode))
        return failed(Step::NotRegular, 0);
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = directory + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failed(Step::Create, errno);
    TemporaryFile cleanup(temporary);
    Result result;
    if (::fchmod(fd, 0600) != 0)  // mkstemp's mode, whatever the umask
        result = failed(Step::MakePrivate, errno);
    std::size_t written = 0;
    while (result.ok() && written < content.size()) {
        const ssize_t count = ::write(fd, content.data() + written, content.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            result = failed(Step::Write, count < 0 ? errno : ENOSPC);
        else
            written += static_cast<std::size_t>(count);
    }
    if (result.ok() && ::fsync(fd) != 0)
        result = failed(Step::Write, errno);
    if (::close(fd) != 0 && result.ok())
        result = failed(Step::Close, errno);
    if (result.ok() && ::rename(temporary.c_str(), path.c_str()) != 0)
        result = failed(Step::Rename, errno);
    if (result.ok())
        cleanup.keep();
    return result;
}

} // namespace util
