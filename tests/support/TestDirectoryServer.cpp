#include "support/TestDirectoryServer.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace dirtest {

namespace {

constexpr char kAdminDn[] = "cn=admin,dc=example,dc=com";
constexpr char kAdminPassword[] = "secret";
constexpr char kReaderDn[] = "cn=reader,dc=example,dc=com";
constexpr char kReaderPassword[] = "reader-secret";

class FileDescriptor {
public:
  FileDescriptor() = default;
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }
  void reset(int fd = -1) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }

private:
  int m_fd = -1;
};

bool makePipe(FileDescriptor& readEnd, FileDescriptor& writeEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  readEnd.reset(fds[0]);
  writeEnd.reset(fds[1]);
  return true;
}

// Keeps SIGPIPE from ending the process while this thread writes to a child
// that may have gone; a SIGPIPE raised meanwhile is consumed.
class SigpipeBlock {
public:
  SigpipeBlock() {
    sigset_t pending;
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGPIPE);
    sigpending(&pending);
    m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
  }
  ~SigpipeBlock() {
    if (!m_wasPending) {
      sigset_t pending;
      sigpending(&pending);
      if (sigismember(&pending, SIGPIPE) == 1) {
        const timespec zero{0, 0};
        while (sigtimedwait(&m_set, nullptr, &zero) == -1 && errno == EINTR) {
        }
      }
    }
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
  sigset_t m_set;
  sigset_t m_old;
  bool m_wasPending = false;
};

class SpawnActions {
public:
  SpawnActions() { m_ok = posix_spawn_file_actions_init(&m_actions) == 0; }
  ~SpawnActions() {
    if (m_ok) posix_spawn_file_actions_destroy(&m_actions);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  bool ok() const { return m_ok; }
  posix_spawn_file_actions_t* get() { return &m_actions; }

private:
  posix_spawn_file_actions_t m_actions;
  bool m_ok = false;
};

int waitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::string base64Decode(const std::string& text) {
  std::string bytes;
  unsigned int bits = 0;
  int count = 0;
  for (const char c : text) {
    int value;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else continue;
    bits = (bits << 6) | static_cast<unsigned int>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes.push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return bytes;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

// Unfolded LDIF lines split into (name, decoded value); comments dropped,
// an empty name marks the end of a record.
std::vector<std::pair<std::string, std::string>> ldifPairs(const std::string& ldif) {
  std::vector<std::string> lines;
  std::istringstream in(ldif);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == ' ' && !lines.empty() && !lines.back().empty()) {
      lines.back() += line.substr(1);
    } else {
      lines.push_back(line);
    }
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& l : lines) {
    if (l.empty()) {
      pairs.emplace_back();
      continue;
    }
    if (l[0] == '#') continue;
    const auto colon = l.find(':');
    if (colon == std::string::npos) continue;
    std::string name = l.substr(0, colon);
    std::size_t start = colon + 1;
    const bool base64 = start < l.size() && l[start] == ':';
    if (base64 || (start < l.size() && l[start] == '<')) ++start;
    while (start < l.size() && l[start] == ' ') ++start;
    std::string value = l.substr(start);
    pairs.emplace_back(std::move(name), base64 ? base64Decode(value) : value);
  }
  return pairs;
}

std::string tempRoot() {
  const char* tmp = std::getenv("TMPDIR");
  std::string root = tmp && *tmp ? tmp : "/tmp";
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

}  // namespace

TestDirectoryServer::TestDirectoryServer(Content content, Tls tls) : m_content(content), m_tls(tls) {}

TestDirectoryServer::~TestDirectoryServer() {
  // A forked child (a death test) must leave its parent's server alone.
  if (m_directory.empty() || m_ownerPid != ::getpid()) return;
  std::string output;
  runScript({"destroy", m_directory}, output);
  std::error_code ignored;
  std::filesystem::remove_all(m_directory, ignored);
}

bool TestDirectoryServer::ensureInitialised() {
  if (m_initialised) return true;
  if (m_directory.empty()) {
    std::string pattern = tempRoot() + "/dirlook-slapd-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
      m_lastError = "cannot create a directory under " + tempRoot() + ": " + std::strerror(errno);
      return false;
    }
    m_directory = buffer.data();
    m_ownerPid = ::getpid();
  }
  std::vector<std::string> args{"init", m_directory};
  if (m_content == Content::Empty) args.push_back("--empty");
  if (m_content == Content::Bare) args.push_back("--bare");
  if (m_tls == Tls::On) args.push_back("--tls");
  std::string output;
  if (!runScript(args, output)) return false;
  std::ofstream(m_directory + "/.remove-with-owner").put('\n');
  m_initialised = true;
  return true;
}

bool TestDirectoryServer::start() {
  // A forked child (a death test) shares its parent's server.
  if (m_ownerPid != 0 && m_ownerPid != ::getpid()) return m_running;
  if (!ensureInitialised()) return false;
  std::vector<std::string> args{"start", m_directory};
  if (m_port > 0) args.push_back(std::to_string(m_port));
  args.push_back("--owner");
  args.push_back(std::to_string(::getpid()));
  if (!m_logLevel.empty()) {
    args.push_back("--log");
    args.push_back(m_logLevel);
  }
  std::string output;
  if (!runScript(args, output)) return false;
  const int port = std::atoi(trimmed(output).c_str());
  if (port <= 0 || port > 65535) {
    m_lastError = "unexpected port from " + scriptPath() + ": " + output;
    stop();
    return false;
  }
  m_port = port;
  if (m_tls == Tls::On) {
    std::string tlsOutput;
    if (!runScript({"tls-port", m_directory}, tlsOutput)) {
      stop();
      return false;
    }
    m_tlsPort = std::atoi(trimmed(tlsOutput).c_str());
  }
  m_running = true;
  return true;
}

void TestDirectoryServer::stop() {
  if (!m_initialised || m_ownerPid != ::getpid()) return;
  std::string output;
  runScript({"stop", m_directory}, output);
  m_running = false;
}

void TestDirectoryServer::kill() {
  if (!m_initialised || m_ownerPid != ::getpid()) return;
  std::string output;
  runScript({"kill", m_directory}, output);
  m_running = false;
}

bool TestDirectoryServer::restart() {
  stop();
  return start();
}

bool TestDirectoryServer::reload() {
  if (!ensureInitialised()) return false;
  stop();
  std::string output;
  if (!runScript({"reload", m_directory}, output)) return false;
  return start();
}

bool TestDirectoryServer::isRunning() const {
  if (!m_initialised) return false;
  std::string output;
  return runProcess({"bash", scriptPath(), "status", m_directory}, std::string(), output) == 0;
}

std::string TestDirectoryServer::uri() const {
  return "ldap://" + host() + ":" + std::to_string(m_port);
}

std::string TestDirectoryServer::ldapsUri() const {
  return "ldaps://" + host() + ":" + std::to_string(m_tlsPort);
}

std::string TestDirectoryServer::caCertificateFile() const {
  return m_directory + "/tls/ca.crt";
}

bool TestDirectoryServer::reissueCertificate(const std::vector<std::string>& names) {
  if (!ensureInitialised()) return false;
  stop();
  std::vector<std::string> args{"recert", m_directory};
  args.insert(args.end(), names.begin(), names.end());
  std::string output;
  if (!runScript(args, output)) return false;
  return start();
}

std::string TestDirectoryServer::log() const {
  std::ifstream in(m_directory + "/slapd.log", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* TestDirectoryServer::baseDn() { return sample::kBaseDn; }
const char* TestDirectoryServer::adminDn() { return kAdminDn; }
const char* TestDirectoryServer::adminPassword() { return kAdminPassword; }
const char* TestDirectoryServer::readerDn() { return kReaderDn; }
const char* TestDirectoryServer::readerPassword() { return kReaderPassword; }

bool TestDirectoryServer::runLdapsearch(const std::vector<std::string>& args,
                                        std::string& output) const {
  std::vector<std::string> argv{"ldapsearch", "-x", "-LLL", "-o", "ldif-wrap=no",
                                "-o", "nettimeout=10", "-H", uri()};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProcess(argv, std::string(), output) == 0;
}

bool TestDirectoryServer::runLdapmodify(const std::string& ldif, std::string& output,
                                        const std::string& bindDn,
                                        const std::string& password) const {
  std::vector<std::string> argv{"ldapmodify", "-x", "-o", "nettimeout=10", "-H", uri()};
  if (!bindDn.empty()) {
    argv.insert(argv.end(), {"-D", bindDn, "-w", password});
  }
  return runProcess(argv, ldif, output) == 0;
}

bool TestDirectoryServer::entryExists(const std::string& dn) const {
  std::string output;
  return runLdapsearch({"-D", adminDn(), "-w", adminPassword(), "-b", dn, "-s", "base", "1.1"},
                       output) &&
         output.find("dn:") != std::string::npos;
}

std::string TestDirectoryServer::entryLdif(const std::string& dn,
                                           const std::vector<std::string>& attributes) const {
  std::vector<std::string> args{"-D", adminDn(), "-w", adminPassword(), "-b", dn, "-s", "base",
                                "(objectClass=*)", "*"};
  args.insert(args.end(), attributes.begin(), attributes.end());
  std::string output;
  if (!runLdapsearch(args, output)) return std::string();
  return output;
}

std::vector<std::string> TestDirectoryServer::ldifDns(const std::string& ldif) {
  std::vector<std::string> dns;
  bool recordStart = true;
  for (const auto& [name, value] : ldifPairs(ldif)) {
    if (name.empty()) {
      recordStart = true;
      continue;
    }
    if (recordStart && equalsIgnoreCase(name, "dn")) dns.push_back(value);
    recordStart = false;
  }
  return dns;
}

std::vector<std::string> TestDirectoryServer::ldifValues(const std::string& ldif,
                                                         const std::string& attribute) {
  std::vector<std::string> values;
  for (const auto& [name, value] : ldifPairs(ldif)) {
    if (equalsIgnoreCase(name, attribute)) values.push_back(value);
  }
  return values;
}

TestDirectoryServer& TestDirectoryServer::shared() {
  static TestDirectoryServer server(Content::Sample);
  return server;
}

std::string TestDirectoryServer::scriptPath() {
  if (const char* path = std::getenv("DIRLOOK_TESTSLAPD"); path && *path) return path;
  return std::string(DIRLOOK_SOURCE_DIR) + "/scripts/testslapd.sh";
}

std::string TestDirectoryServer::dataDirectory() {
  return std::string(DIRLOOK_SOURCE_DIR) + "/tests/support/data";
}

std::string TestDirectoryServer::readDataFile(const std::string& name) {
  std::ifstream in(dataDirectory() + "/" + name, std::ios::binary);
  if (!in) return std::string();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TestDirectoryServer::runScript(const std::vector<std::string>& args, std::string& output) {
  std::vector<std::string> argv{"bash", scriptPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  const int code = runProcess(argv, std::string(), output, 120);
  if (code == 0) return true;
  std::ostringstream message;
  message << scriptPath() << ' ' << args.front() << " failed (" << code << "): " << output;
  m_lastError = message.str();
  return false;
}

int TestDirectoryServer::runProcess(const std::vector<std::string>& argv,
                                    const std::string& input, std::string& output,
                                    int timeoutSeconds) {
  output.clear();
  if (argv.empty()) return -1;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  FileDescriptor inRead, inWrite, outRead, outWrite;
  if (!makePipe(inRead, inWrite) || !makePipe(outRead, outWrite)) return -1;
  SpawnActions actions;
  if (!actions.ok() || posix_spawn_file_actions_adddup2(actions.get(), inRead.get(), 0) != 0 ||
      posix_spawn_file_actions_adddup2(actions.get(), outWrite.get(), 1) != 0 ||
      posix_spawn_file_actions_adddup2(actions.get(), outWrite.get(), 2) != 0) {
    return -1;
  }
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], actions.get(), nullptr, args.data(), environ) != 0) return -1;
  SigpipeBlock sigpipeBlock;
  inRead.reset();
  outWrite.reset();
  ::fcntl(inWrite.get(), F_SETFL, ::fcntl(inWrite.get(), F_GETFL) | O_NONBLOCK);
  if (input.empty()) inWrite.reset();

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  std::size_t written = 0;
  char buffer[8192];
  bool timedOut = false;
  while (outRead.get() >= 0) {
    pollfd fds[2];
    nfds_t count = 0;
    fds[count++] = pollfd{outRead.get(), POLLIN, 0};
    if (inWrite.get() >= 0) fds[count++] = pollfd{inWrite.get(), POLLOUT, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    const int ready = ::poll(fds, count, static_cast<int>(left.count()));
    if (ready < 0) {
      if (errno == EINTR) continue;
      timedOut = true;
      break;
    }
    if (count > 1 && fds[1].revents != 0) {
      const ssize_t n = ::write(inWrite.get(), input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
        inWrite.reset();
      }
    }
    if (fds[0].revents != 0) {
      const ssize_t n = ::read(outRead.get(), buffer, sizeof buffer);
      if (n > 0) {
        output.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        outRead.reset();
      }
    }
  }
  if (timedOut) {
    ::kill(pid, SIGKILL);
    waitForChild(pid);
    return -1;
  }
  inWrite.reset();
  return waitForChild(pid);
}

}  // namespace dirtest
