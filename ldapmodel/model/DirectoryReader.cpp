#include "model/DirectoryReader.h"

#include "session/LdapErrorReport.h"
#include "session/LdapSession.h"

#include <vector>

namespace ldapmodel {

using memorylib::gc_ptr;

DirectoryReader::DirectoryReader(LdapSession& session, Cache& cache, std::mutex* cacheMutex,
                                 unsigned int sizeLimit)
    : m_session(session), m_cache(cache), m_cacheMutex(cacheMutex), m_uSizeLimit(sizeLimit)
{
}

std::unique_ptr<LdapSession> DirectoryReader::openSession(const std::wstring& host, int port,
                                                          const std::wstring& bindDN,
                                                          const std::wstring& password,
                                                          bool anonymous, unsigned int timeLimit,
                                                          const Preferences& preferences,
                                                          const TlsSettings& tls, int& connectResult)
{
    auto session = std::make_unique<LdapSession>();
    session->setTimeouts({preferences.connectTimeoutSeconds, preferences.operationTimeoutSeconds});
    session->setTlsSettings(tls);
    if (session->connect(host, port, bindDN, password, anonymous) != 0) {
        connectResult = session->getConnectResult();
        return nullptr;
    }
    connectResult = 0;
    // Asynchronous searches take the time limit from the session.
    if (timeLimit != 0)
        session->setTimeLimit(timeLimit);
    return session;
}

std::unique_lock<std::mutex> DirectoryReader::lockCache()
{
    if (m_cacheMutex == nullptr)
        return std::unique_lock<std::mutex>();
    return std::unique_lock<std::mutex>(*m_cacheMutex);
}

gc_ptr<LDAPEntry> DirectoryReader::getEntry(const std::wstring& dn)
{
    {
        std::unique_lock<std::mutex> lock = lockCache();
        auto found = m_cache.find(dn);
        if (found != m_cache.end())
            return found->second;
    }
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(dn);
    // A failed read is not cached: the entry would stay empty for good.
    if (!entry->readFromServer(m_session, m_uSizeLimit))
        return gc_ptr<LDAPEntry>();
    std::unique_lock<std::mutex> lock = lockCache();
    m_cache.emplace(entry->getDN(), entry);
    return entry;
}

int DirectoryReader::searchEntries(const gc_ptr<LDAPEntry>& parent, const std::wstring& base,
                                   const std::wstring& filter, int scope, bool withValues)
{
    static const std::vector<std::wstring> attributes = {L"createTimestamp", L"modifyTimestamp",
                                                         L"*"};
    std::vector<gc_ptr<LDAPEntry>> found;
    int code = m_session.searchEntries(base, scope, filter, attributes, !withValues, m_uSizeLimit,
                                       found);
    if (code != 0 && code != 4 && code != -1) {
        reportLdapError(code, L"");
        return code;
    }

    std::unique_lock<std::mutex> lock = lockCache();
    LDAPEntry* parentEntry = parent.getObject();
    if (parentEntry != nullptr && scope == LdapSession::SCOPE_ONELEVEL) {
        // A new read of the children replaces the list.
        parentEntry->setChildrenComplete(false);
        parentEntry->setCutShort(false);
    }
    if (parentEntry != nullptr && code == 4)
        parentEntry->setCutShort(true);
    for (const gc_ptr<LDAPEntry>& entry : found) {
        std::wstring dn = entry->getDN();
        // A base search finds the base itself, which is no child of its own.
        if (parentEntry != nullptr && dn != parentEntry->getDN())
            parentEntry->addChild(dn);
        entry->setChildrenComplete(false);
        // First filed wins.
        m_cache.emplace(dn, entry);
    }
    if (parentEntry != nullptr && scope == LdapSession::SCOPE_ONELEVEL)
        parentEntry->setChildrenComplete(true);
    return code == -1 ? -1 : 0;
}

} // namespace ldapmodel
