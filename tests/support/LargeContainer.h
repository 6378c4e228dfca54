#pragma once

// A container of many entries in a test directory server, for tests and
// benchmarks of large reads, and the same searches run through ldapsearch
// to compare with.

#include "support/TestDirectoryServer.h"

#include <string>
#include <vector>

namespace dirtest {

class LargeContainer {
public:
    // ou=<name> under the base of server, with children cn=child0 ..
    // cn=child<count - 1> (objectClass device).
    LargeContainer(const TestDirectoryServer& server, const std::string& name, int count);

    const std::string& dn() const { return m_dn; }
    int count() const { return m_count; }
    std::string childDn(int n) const;

    // Adds the container and its children as the administrator (ldapmodify
    // in one run). False with the tool's output in error.
    bool create(std::string& error) const;

    // ldapsearch -x -LLL -E pr=<pageSize>/noprompt bound as bindDn over the
    // container with the scope ("one" or "sub") and the arguments that follow
    // (filter, -A, attributes); its output goes to output. The exit code.
    int pagedSearch(const std::string& bindDn, const std::string& password, const std::string& scope,
                    const std::vector<std::string>& arguments, int pageSize, std::string& output) const;

private:
    const TestDirectoryServer& m_server;
    std::string m_dn;
    int m_count;
};

} // namespace dirtest
