#include "model/SubtreeCopy.h"

#include "faults/FaultGuard.h"
#include "records/LDAPEntry.h"
#include "session/DistinguishedName.h"
#include "session/LdapErrorReport.h"
#include "session/LdapModList.h"
#include "session/LdapResultCode.h"
#include "session/LdapSession.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace ldapmodel {

SubtreeCopy::SubtreeCopy(LdapSession& session, const std::wstring& sourceDN, const std::wstring& parentDN,
                         bool withSubtree, const SubtreeHooks& hooks)
    : m_session(session), m_strSourceDN(sourceDN), m_strParentDN(parentDN), m_bWithSubtree(withSubtree),
      m_hooks(hooks)
{
}

std::wstring SubtreeCopy::copyDN(const std::wstring& sourceDN, const std::wstring& parentDN)
{
    const std::wstring rdn = DistinguishedName::rdn(sourceDN);
    return parentDN.empty() ? rdn : rdn + L"," + parentDN;
}

SubtreeOutcome SubtreeCopy::run()
{
    DIRLOOK_GUARD(L"SubtreeCopy");
    SubtreeOutcome outcome;
    auto fail = [&outcome](int code, const std::wstring& dn) {
        outcome.end = SubtreeOutcome::End::Failed;
        outcome.code = code;
        outcome.failedDN = dn;
        outcome.diagnostic = lastDiagnosticFor(code);
        return outcome;
    };
    // User attributes only: "*" leaves the operational ones out.
    std::vector<memorylib::gc_ptr<LDAPEntry>> found;
    const int code = m_session.searchAllEntries(m_strSourceDN,
                                                m_bWithSubtree ? LdapSession::SCOPE_SUBTREE : LdapSession::SCOPE_BASE,
                                                L"(objectclass=*)", {L"*"}, false, m_hooks.pageSize, found);
    if (code == resultcode::UserCancelled) {
        outcome.end = SubtreeOutcome::End::Stopped;
        return outcome;
    }
    // Part of a subtree is no copy of it.
    if (code != resultcode::Success)
        return fail(code, m_strSourceDN);
    if (found.empty())
        return fail(resultcode::NoSuchObject, m_strSourceDN);

    std::vector<std::pair<std::size_t, memorylib::gc_ptr<LDAPEntry>>> order;
    order.reserve(found.size());
    for (auto& entry : found)
        order.emplace_back(DistinguishedName::components(entry->getDN()).size(), entry);
    found.clear();
    // Parents first.
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& left, const auto& right) { return left.first < right.first; });
    outcome.total = static_cast<int>(order.size());

    const std::wstring copyRoot = copyDN(m_strSourceDN, m_strParentDN);
    for (auto& item : order) {
        if (m_hooks.stopRequested && m_hooks.stopRequested()) {
            outcome.end = SubtreeOutcome::End::Stopped;
            return outcome;
        }
        const LDAPEntry& entry = *item.second;
        const std::wstring target = DistinguishedName::rebased(entry.getDN(), m_strSourceDN, copyRoot);
        LdapModList modifications;
        for (const auto& attribute : entry.getUserAttributes()) {
            if (attribute.getObject() == nullptr || attribute->getValueCount() == 0)
                continue;
            modifications.addRecord(LdapModOperation::Add, attribute->getName(), attribute->getValues());
        }
        const int result = m_session.addEntry(target, modifications);
        if (result == resultcode::UserCancelled) {
            outcome.end = SubtreeOutcome::End::Stopped;
            return outcome;
        }
        if (result != resultcode::Success)
            return fail(result, target);
        // Its values are not needed any more.
        item.second = static_cast<LDAPEntry*>(nullptr);
        outcome.done.push_back(target);
        if (m_hooks.done)
            m_hooks.done(target);
        if (m_hooks.pauseMilliseconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_hooks.pauseMilliseconds));
    }
    return outcome;
}

} // namespace ldapmodel
