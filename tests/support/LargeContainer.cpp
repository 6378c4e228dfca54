#include "support/LargeContainer.h"

namespace dirtest {

LargeContainer::LargeContainer(const TestDirectoryServer& server, const std::string& name, int count)
    : m_server(server), m_dn("ou=" + name + "," + TestDirectoryServer::baseDn()), m_count(count)
{
}

std::string LargeContainer::childDn(int n) const
{
    return "cn=child" + std::to_string(n) + "," + m_dn;
}

bool LargeContainer::create(std::string& error) const
{
    const std::string name = m_dn.substr(3, m_dn.find(',') - 3);
    std::string ldif = "dn: " + m_dn + "\nchangetype: add\nobjectClass: organizationalUnit\nou: " + name + "\n\n";
    ldif.reserve(ldif.size() + static_cast<std::size_t>(m_count) * (m_dn.size() + 80));
    for (int n = 0; n < m_count; ++n) {
        const std::string cn = "child" + std::to_string(n);
        ldif += "dn: cn=" + cn + "," + m_dn + "\nchangetype: add\nobjectClass: device\ncn: " + cn + "\n\n";
    }
    std::string output;
    if (m_server.runLdapmodify(ldif, output))
        return true;
    error = output;
    return false;
}

int LargeContainer::pagedSearch(const std::string& bindDn, const std::string& password, const std::string& scope,
                                const std::vector<std::string>& arguments, int pageSize, std::string& output) const
{
    std::vector<std::string> argv{"ldapsearch", "-x", "-LLL", "-o", "ldif-wrap=no", "-H", m_server.uri(), "-D",
                                  bindDn, "-w", password, "-E", "pr=" + std::to_string(pageSize) + "/noprompt",
                                  "-b", m_dn, "-s", scope};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return TestDirectoryServer::runProcess(argv, std::string(), output, 600);
}

} // namespace dirtest
