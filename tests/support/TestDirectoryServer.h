#pragma once

// A private OpenLDAP slapd on 127.0.0.1 for tests, benchmarks and the demo.
// The work is done by scripts/testslapd.sh; this class runs it on an instance
// directory of its own under $TMPDIR (removed again by the destructor).

#include <string>
#include <vector>

namespace dirtest {

// The sample directory (tests/support/data/sample.ldif), 59 entries:
//
//   dc=example,dc=com                     o: Example Corp
//   +- cn=reader                          the read-only account
//   +- ou=People                          44 children:
//   |  +- uid=user01 .. uid=user40        inetOrgPerson; cn "<given> <surname>",
//   |  |                                  mail (2 values when n % 3 == 1),
//   |  |                                  telephoneNumber "+1 555 01nn" (and
//   |  |                                  "+1 555 02nn" when n % 4 == 1),
//   |  |                                  employeeNumber 1000 + n;
//   |  |                                  user01..03 also posixAccount
//   |  +- cn=José Müller                  Latin-1 letters in the DN
//   |  +- cn=Łukasz Żółkiewski            letters above U+00FF in the DN
//   |  +- uid=photo                       jpegPhoto = data/photo.jpg
//   |  +- uid=cert                        userCertificate;binary = data/cert.der
//   +- ou=Groups                          staff, admins, readers (groupOfNames),
//   |                                     developers (posixGroup)
//   +- ou=Dept
//      +- ou=Sub
//      |  +- cn=alpha, cn=beta            device
//      |  +- ou=Deep
//      |     +- cn=gamma                  device
//      +- cn=printer                      device
//
// The empty directory holds the base entry alone; the bare one nothing.
// The server has no time limit of its own. The administrator has no size
// limit either; every other bound user gets at most 500 entries per search
// (the request's own limit too is capped there), but all of them with the
// simple paged results control, except uid=user02, who may not page
// (administrative limit exceeded, 11).
namespace sample {

inline constexpr char kBaseDn[] = "dc=example,dc=com";
inline constexpr int kEntryCount = 59;
inline constexpr int kBaseChildCount = 4;  // reader, People, Groups, Dept

inline constexpr char kPeopleDn[] = "ou=People,dc=example,dc=com";
inline constexpr int kPeopleChildCount = 44;
inline constexpr int kNumberedUserCount = 40;  // uid=user01 .. uid=user40

// Three description values: "First sample user", "Member of staff and
// admins", "Has three descriptions". Two mail values, two telephone numbers.
inline constexpr char kUser01Dn[] = "uid=user01,ou=People,dc=example,dc=com";
inline constexpr char kUser01Cn[] = "Alice Archer";
inline constexpr char kUser01Mail1[] = "alice.archer@example.com";
inline constexpr char kUser01Mail2[] = "user01@example.com";
inline constexpr char kUser01Phone1[] = "+1 555 0101";
inline constexpr char kUser01Phone2[] = "+1 555 0201";
inline constexpr char kUser01EmployeeNumber[] = "1001";
// userPassword (hashed) of uid=user02 is kUser02Password.
inline constexpr char kUser02Dn[] = "uid=user02,ou=People,dc=example,dc=com";
inline constexpr char kUser02Password[] = "user-secret";
// description "line one\nline two" (a value LDIF must encode).
inline constexpr char kUser03Dn[] = "uid=user03,ou=People,dc=example,dc=com";
// descriptions ":starts with a colon", "<starts with a less-than sign",
// " starts with a space".
inline constexpr char kUser04Dn[] = "uid=user04,ou=People,dc=example,dc=com";
// description of 275 characters (six times "A long description used to test
// line folding." separated by spaces).
inline constexpr char kUser05Dn[] = "uid=user05,ou=People,dc=example,dc=com";

// UTF-8 text.
inline constexpr char kJoseDn[] = "cn=Jos\xC3\xA9 M\xC3\xBCller,ou=People,dc=example,dc=com";
inline constexpr char kJoseCn[] = "Jos\xC3\xA9 M\xC3\xBCller";
inline constexpr wchar_t kJoseDnWide[] = L"cn=Jos\u00E9 M\u00FCller,ou=People,dc=example,dc=com";
inline constexpr char kLukaszDn[] =
    "cn=\xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82kiewski,ou=People,dc=example,dc=com";
inline constexpr char kLukaszCn[] = "\xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82kiewski";
inline constexpr wchar_t kLukaszDnWide[] =
    L"cn=\u0141ukasz \u017B\u00F3\u0142kiewski,ou=People,dc=example,dc=com";

inline constexpr char kPhotoDn[] = "uid=photo,ou=People,dc=example,dc=com";
inline constexpr char kPhotoFile[] = "photo.jpg";  // 181 bytes, 53 of them zero
inline constexpr char kCertDn[] = "uid=cert,ou=People,dc=example,dc=com";
inline constexpr char kCertFile[] = "cert.der";  // DER X.509, 434 bytes

inline constexpr char kGroupsDn[] = "ou=Groups,dc=example,dc=com";
inline constexpr int kGroupsChildCount = 4;
inline constexpr char kStaffGroupDn[] = "cn=staff,ou=Groups,dc=example,dc=com";
inline constexpr int kStaffMemberCount = 10;  // user01 .. user10

inline constexpr char kDeptDn[] = "ou=Dept,dc=example,dc=com";
inline constexpr int kDeptSubtreeCount = 7;  // ou=Dept and everything below it
inline constexpr char kSubDn[] = "ou=Sub,ou=Dept,dc=example,dc=com";
inline constexpr int kSubSubtreeCount = 5;
inline constexpr char kDeepDn[] = "ou=Deep,ou=Sub,ou=Dept,dc=example,dc=com";
inline constexpr char kGammaDn[] = "cn=gamma,ou=Deep,ou=Sub,ou=Dept,dc=example,dc=com";

}  // namespace sample

class TestDirectoryServer {
public:
  enum class Content {
    Sample,  // the sample directory
    Empty,   // the base entry alone
    Bare     // the database without entries
  };

  enum class Tls {
    Off,  // ldap:// only
    On    // also StartTLS and an ldaps:// port, with a CA of the instance's own
  };

  explicit TestDirectoryServer(Content content = Content::Sample, Tls tls = Tls::Off);
  ~TestDirectoryServer();
  TestDirectoryServer(const TestDirectoryServer&) = delete;
  TestDirectoryServer& operator=(const TestDirectoryServer&) = delete;

  // Creates the instance on first use, then starts slapd and waits until it
  // answers. A server started before comes back on its previous port.
  // True when running (also when it already ran); see lastError() otherwise.
  bool start();
  // SIGTERM, then SIGKILL after a deadline. The data stays.
  void stop();
  // SIGKILL, for fault tests. The data stays.
  void kill();
  // stop() and start() on the same port.
  bool restart();
  // Stops the server, puts back the initial data and starts it again.
  bool reload();
  bool isRunning() const;

  int port() const { return m_port; }  // 0 before the first start
  std::string host() const { return "127.0.0.1"; }
  std::string uri() const;
  const std::string& directory() const { return m_directory; }
  // What the script reported when start() or another step failed.
  const std::string& lastError() const { return m_lastError; }

  // TLS (Tls::On): the ldaps:// port (0 before the first start or without
  // TLS), its URI, and the CA that signed the server's certificate (PEM).
  // The certificate is issued for 127.0.0.1.
  int tlsPort() const { return m_tlsPort; }
  std::string ldapsUri() const;
  std::string caCertificateFile() const;
  // Stops the server, gives it a new key and certificate for the names (IP
  // addresses or DNS names) from the same CA and starts it again.
  bool reissueCertificate(const std::vector<std::string>& names);
  // slapd's log level from the next start ("stats": connections, TLS
  // handshakes and operations), and its log so far.
  void setLogLevel(const std::string& level) { m_logLevel = level; }
  std::string log() const;

  static const char* baseDn();
  static const char* adminDn();
  static const char* adminPassword();
  static const char* readerDn();
  static const char* readerPassword();

  // ldapsearch -x -LLL -o ldif-wrap=no -H uri() args... (anonymous unless args
  // bind). output receives stdout and stderr; true when the exit code is 0.
  bool runLdapsearch(const std::vector<std::string>& args, std::string& output) const;
  // ldapmodify -x fed with ldif, bound as bindDn (admin by default).
  bool runLdapmodify(const std::string& ldif, std::string& output,
                     const std::string& bindDn = adminDn(),
                     const std::string& password = adminPassword()) const;
  // Base search as the admin; false when the entry does not exist.
  bool entryExists(const std::string& dn) const;
  // One entry as LDIF (admin bind, user and the given attributes), or "" when
  // it cannot be read.
  std::string entryLdif(const std::string& dn,
                        const std::vector<std::string>& attributes = {}) const;

  // Reading ldapsearch output: the DNs of all records, and the values of one
  // attribute description (case-insensitive, options included) in all
  // records, Base64 values decoded.
  static std::vector<std::string> ldifDns(const std::string& ldif);
  static std::vector<std::string> ldifValues(const std::string& ldif,
                                             const std::string& attribute);

  // The server started by ServerTestMain, shared by all tests of a program:
  // a test that changes its data undoes the change, or uses an instance of
  // its own (or reload()).
  static TestDirectoryServer& shared();

  // scripts/testslapd.sh of the source tree, or $DIRLOOK_TESTSLAPD.
  static std::string scriptPath();
  static std::string dataDirectory();
  // Reads a file from dataDirectory() whole; "" if it cannot.
  static std::string readDataFile(const std::string& name);

  // Runs argv (PATH search for argv[0]) with input on stdin; output receives
  // stdout and stderr. Returns the exit code, or -1 when the program could
  // not run, ended by a signal or passed the time limit (it is then killed).
  static int runProcess(const std::vector<std::string>& argv, const std::string& input,
                        std::string& output, int timeoutSeconds = 60);

private:
  bool runScript(const std::vector<std::string>& args, std::string& output);
  bool ensureInitialised();

  Content m_content;
  Tls m_tls;
  std::string m_logLevel;
  int m_tlsPort = 0;
  std::string m_directory;
  bool m_initialised = false;
  bool m_running = false;
  int m_port = 0;
  long m_ownerPid = 0;  // the process that created the instance
  std::string m_lastError;
};

}  // namespace dirtest
