// What bounded waiting costs and how fast it lets go: a background read of
// 1,000 children with the pause set to 0 beside the same one-level search in
// bare libldap calls; how long Stop takes with the server frozen before the
// worker's first read; how close a connect to a silent listener ends to its
// time-out; how long a cancelled wait takes to return.

#include "BenchTiming.h"
#include "ldapmodel/support/FinishWaiter.h"
#include "model/Model.h"
#include "model/ModelObserver.h"
#include "session/LdapSession.h"
#include "support/FrozenServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/ScriptedWaits.h"
#include "support/SilentListener.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <ldap.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kChildren = 1000;
constexpr int kRounds = 5;
const std::string kParentDn = std::string("ou=bench,") + dirtest::sample::kBaseDn;

using Clock = std::chrono::steady_clock;
using bench::millisecondsSince;
using bench::median;

bool addChildren(const dirtest::TestDirectoryServer& server)
{
    std::string ldif = "dn: " + kParentDn + "\nchangetype: add\nobjectClass: organizationalUnit\nou: bench\n\n";
    for (int i = 0; i < kChildren; ++i) {
        const std::string cn = "node" + std::to_string(i);
        ldif += "dn: cn=" + cn + "," + kParentDn + "\nchangetype: add\nobjectClass: device\ncn: " + cn + "\n\n";
    }
    std::string output;
    return server.runLdapmodify(ldif, output);
}

// The same one-level, names-only search as the children read, one message
// at a time, in bare libldap calls.
double bareChildrenRead(const dirtest::TestDirectoryServer& server)
{
    LDAP* ld = nullptr;
    ldap_initialize(&ld, server.uri().c_str());
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    std::string password = dirtest::TestDirectoryServer::adminPassword();
    berval credentials{password.size(), password.data()};
    ldap_sasl_bind_s(ld, dirtest::TestDirectoryServer::adminDn(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr,
                     nullptr);
    char empty[] = "";
    char* attributes[] = {empty, nullptr};
    const Clock::time_point start = Clock::now();
    int id = 0;
    ldap_search_ext(ld, kParentDn.c_str(), LDAP_SCOPE_ONELEVEL, "objectclass=*", attributes, 1, nullptr, nullptr,
                    nullptr, 0, &id);
    int entries = 0;
    for (;;) {
        LDAPMessage* message = nullptr;
        const int type = ldap_result(ld, id, LDAP_MSG_ONE, nullptr, &message);
        if (type == LDAP_RES_SEARCH_ENTRY) {
            char* dn = ldap_get_dn(ld, message);
            ldap_memfree(dn);
            ++entries;
        }
        ldap_msgfree(message);
        if (type != LDAP_RES_SEARCH_ENTRY)
            break;
    }
    const double total = millisecondsSince(start);
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    return entries == kChildren ? total : -1.0;
}

} // namespace

int main()
{
    ::signal(SIGPIPE, SIG_IGN);
    dirtest::ScriptedMessageBoxes boxes;
    dirtest::TestDirectoryServer server(dirtest::TestDirectoryServer::Content::Empty);
    if (!server.start() || !addChildren(server)) {
        std::fprintf(stderr, "Cannot prepare the directory server: %s\n", server.lastError().c_str());
        return 1;
    }
    ldapmodel::Model& model = ldapmodel::Model::instance();
    model.setHost(util::fromUtf8(server.host()));
    model.setPort(server.port());
    model.setBaseDN(util::fromUtf8(dirtest::sample::kBaseDn));
    model.setBindDN(util::fromUtf8(dirtest::TestDirectoryServer::adminDn()));
    model.setPassword(util::fromUtf8(dirtest::TestDirectoryServer::adminPassword()));
    ldapmodel::Preferences preferences;
    preferences.resultPauseMilliseconds = 0;
    model.setPreferences(preferences);
    if (model.connect(false) != 0)
        return 1;
    memorylib::gc_ptr<modeltest::FinishWaiter> waiter = new modeltest::FinishWaiter();
    model.setTreeObserver(waiter);
    model.setProgressObserver(waiter);
    const std::wstring parent = util::fromUtf8(kParentDn);
    model.getEntry(parent);

    // 1. Children read without pauses, beside bare libldap.
    std::vector<double> modelTimes;
    std::vector<double> bareTimes;
    for (int round = 0; round < kRounds; ++round) {
        const Clock::time_point start = Clock::now();
        model.readChildren(parent);
        const int found = waiter->wait();
        modelTimes.push_back(millisecondsSince(start));
        model.waitBackground();
        bareTimes.push_back(bareChildrenRead(server));
        if (found != kChildren || bareTimes.back() < 0) {
            std::fprintf(stderr, "round %d: wrong number of children\n", round);
            return 1;
        }
    }
    std::printf("children read, pause 0, %d children (median of %d):\n", kChildren, kRounds);
    std::printf("  Model::readChildren:  %.1f ms\n", median(modelTimes));
    std::printf("  bare libldap:         %.1f ms\n", median(bareTimes));
    std::printf("  ratio:                %.2f\n", median(modelTimes) / median(bareTimes));

    // 2. Stop with the server frozen before the worker's first read.
    std::vector<double> stops;
    for (int round = 0; round < kRounds; ++round) {
        model.forgetEntry(parent);
        dirtest::FrozenServer frozen(server);
        model.readChildren(parent);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const Clock::time_point start = Clock::now();
        model.requestStop();
        model.stopBackground();
        stops.push_back(millisecondsSince(start));
        waiter->wait();
    }
    std::printf("Stop, server frozen before the first read: median %.1f ms, worst %.1f ms (bound 1000 ms)\n",
                median(stops), *std::max_element(stops.begin(), stops.end()));

    // 3. Connect to a silent listener with a 1 s connect time-out.
    std::vector<double> connects;
    for (dirtest::SilentListener::Backlog backlog :
         {dirtest::SilentListener::Backlog::Free, dirtest::SilentListener::Backlog::Full}) {
        dirtest::SilentListener listener(backlog);
        ldapmodel::LdapSession session;
        session.setTimeouts({1, 30});
        const Clock::time_point start = Clock::now();
        session.connect(L"127.0.0.1", listener.port(), L"", L"", true);
        connects.push_back(millisecondsSince(start));
    }
    std::printf("connect to a silent listener, time-out 1000 ms: %.1f ms (accepted), %.1f ms (backlog full)\n",
                connects[0], connects[1]);

    // 4. A wait cancelled by the wait service after 200 ms.
    std::vector<double> cancels;
    for (int round = 0; round < kRounds; ++round) {
        dirtest::SilentListener listener;
        dirtest::ScriptedWaits waits(util::WaitAnswer::Cancel, std::chrono::milliseconds(200));
        ldapmodel::LdapSession session;
        const Clock::time_point start = Clock::now();
        session.connect(L"127.0.0.1", listener.port(), L"", L"", true);
        cancels.push_back(millisecondsSince(start) - 200.0);
    }
    std::printf("cancelled wait: returns %.1f ms after the answer (median; slice %d ms)\n", median(cancels),
                ldapmodel::LdapSession::WAIT_SLICE_MILLISECONDS);
    model.disconnect();
    return 0;
}
