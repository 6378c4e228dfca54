// Loads arbitrary bytes as a profile file. When the load succeeds and every
// line fits the reader's limit, saving and loading again must give the same
// values and the same bytes.
#include "profiles/ConnectionPropertyFile.h"
#include "FuzzFiles.h"
#include "handles/gc_ptr.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using fuzzfiles::directory;
using fuzzfiles::readFile;
using fuzzfiles::writeFile;
using ldapmodel::ConnectionPropertyFile;
using memorylib::gc_ptr;

namespace {

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
           a.getServerName() == b.getServerName() && a.getSecurity() == b.getSecurity() &&
           a.getSecurityText() == b.getSecurityText() && a.getCaCertificate() == b.getCaCertificate();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input = directory("profile") + "/input.connectionProperties";
    const std::string output = directory("profile") + "/output.connectionProperties";
    writeFile(input, data, size);

    gc_ptr<ConnectionPropertyFile> profile(new ConnectionPropertyFile(wide(input)));
    int result = profile->load();
    if (result != 0 && result != 1)
        __builtin_trap();
    if (result != 0)
        return 0;
    if (!fits(profile->getName(), 3) || !fits(profile->getHostName(), 2) ||
        !fits(profile->getUserDn(), 3) || !fits(profile->getBaseDn(), 3) ||
        !fits(profile->getFilter(), 3) || !fits(profile->getServerName(), 2) ||
        profile->getUserPassword().size() + 2 > ConnectionPropertyFile::kMaxPasswordLineLength ||
        !fits(profile->getSecurityText(), 2) ||
        profile->getCaCertificate().size() > ConnectionPropertyFile::kMaxCaCertificateLength)
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
    copy.setSecurityText(profile->getSecurityText());
    copy.setCaCertificate(profile->getCaCertificate());
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
