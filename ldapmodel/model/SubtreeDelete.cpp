#include "model/SubtreeDelete.h"

#include "faults/FaultGuard.h"
#include "records/LDAPEntry.h"
#include "session/DistinguishedName.h"
#include "session/LdapErrorReport.h"
#include "session/LdapResultCode.h"
#include "session/LdapSession.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace ldapmodel {

namespace {

const wchar_t kEveryEntry[] = L"(objectclass=*)";
// Names only: no attribute at all.
const std::vector<std::wstring> kNoAttributes = {L"1.1"};

std::size_t depthOf(const std::wstring& dn)
{
    return DistinguishedName::components(dn).size();
}

} // namespace

SubtreeDelete::SubtreeDelete(LdapSession& session, const std::wstring& rootDN, const SubtreeHooks& hooks)
    : m_session(session), m_strRootDN(rootDN), m_hooks(hooks), m_uRootDepth(depthOf(rootDN))
{
}

int SubtreeDelete::countBelow(LdapSession& session, const std::wstring& dn, unsigned int pageSize, int& below)
{
    below = 0;
    std::vector<memorylib::gc_ptr<LDAPEntry>> found;
    const int code =
        session.searchAllEntries(dn, LdapSession::SCOPE_SUBTREE, kEveryEntry, kNoAttributes, true, pageSize, found);
    if (code != resultcode::Success && code != resultcode::SizeLimitExceeded)
        return code;
    // The entry itself comes with the entries below it.
    below = found.empty() ? 0 : static_cast<int>(found.size()) - 1;
    return code;
}

SubtreeOutcome SubtreeDelete::run()
{
    DIRLOOK_GUARD(L"SubtreeDelete");
    SubtreeOutcome outcome;
    while (round(outcome)) {
    }
    return outcome;
}

void SubtreeDelete::fail(SubtreeOutcome& outcome, int code, const std::wstring& dn)
{
    outcome.end = SubtreeOutcome::End::Failed;
    outcome.code = code;
    outcome.failedDN = dn;
    outcome.diagnostic = lastDiagnosticFor(code);
}

bool SubtreeDelete::round(SubtreeOutcome& outcome)
{
    if (m_hooks.stopRequested && m_hooks.stopRequested()) {
        outcome.end = SubtreeOutcome::End::Stopped;
        return false;
    }
    std::vector<memorylib::gc_ptr<LDAPEntry>> found;
    const int code =
        m_session.searchAllEntries(m_strRootDN, LdapSession::SCOPE_SUBTREE, kEveryEntry, kNoAttributes, true,
                                   m_hooks.pageSize, found);
    if (code == resultcode::UserCancelled) {
        outcome.end = SubtreeOutcome::End::Stopped;
        return false;
    }
    // Gone meanwhile: someone else deleted the rest.
    if (code == resultcode::NoSuchObject && !outcome.done.empty()) {
        outcome.end = SubtreeOutcome::End::Complete;
        return false;
    }
    if (code != resultcode::Success && code != resultcode::SizeLimitExceeded) {
        fail(outcome, code, m_strRootDN);
        return false;
    }
    const bool partial = code == resultcode::SizeLimitExceeded;

    std::vector<std::pair<std::size_t, std::wstring>> order;
    order.reserve(found.size());
    for (const auto& entry : found)
        order.emplace_back(depthOf(entry->getDN()), entry->getDN());
    found.clear();
    // Deepest first: every entry goes after the entries below it.
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& left, const auto& right) { return left.first > right.first; });
    outcome.total = std::max(outcome.total, static_cast<int>(outcome.done.size() + order.size()));

    std::size_t deleted = 0;
    int refused = resultcode::NotAllowedOnNonLeaf;
    std::wstring refusedDN = m_strRootDN;
    for (const auto& [depth, dn] : order) {
        if (m_hooks.stopRequested && m_hooks.stopRequested()) {
            outcome.end = SubtreeOutcome::End::Stopped;
            return false;
        }
        const int result = m_session.deleteEntry(dn);
        if (result == resultcode::Success) {
            outcome.done.push_back(dn);
            ++deleted;
            if (m_hooks.done)
                m_hooks.done(dn);
            if (depth <= m_uRootDepth) {
                outcome.end = SubtreeOutcome::End::Complete;
                return false;
            }
            if (m_hooks.pauseMilliseconds > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(m_hooks.pauseMilliseconds));
            continue;
        }
        if (result == resultcode::UserCancelled) {
            outcome.end = SubtreeOutcome::End::Stopped;
            return false;
        }
        // Entries below it the server did not send this time: next round.
        if (result == resultcode::NotAllowedOnNonLeaf && partial) {
            refused = result;
            refusedDN = dn;
            continue;
        }
        fail(outcome, result, dn);
        return false;
    }
    if (deleted == 0) {
        fail(outcome, refused, refusedDN);
        return false;
    }
    return true;
}

} // namespace ldapmodel
