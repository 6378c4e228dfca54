#include "model/Server.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/DirectoryReader.h"
#include "model/Model.h"
#include "session/LdapSession.h"
#include "utilities/Util.h"

#include <memory>
#include <utility>

namespace ldapmodel {

using memorylib::gc_ptr;

namespace {

const wchar_t* const kSourceFile = L"Server";

template <class Body>
auto guardedStep(int line, const wchar_t* reason, Body&& body) -> decltype(body())
{
    util::FaultGuard guard(kSourceFile, line);
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        util::reportErrorAndExit(kSourceFile, line, reason);
    }
}

} // namespace

gc_ptr<Server> Server::getInstance()
{
    static gc_ptr<Server> instance = new Server();
    return instance;
}

Server::Server() = default;

Server::~Server()
{
    if (m_pSession != nullptr)
        m_pSession->disconnect();
}

int Server::connect(bool anonymous)
{
    DIRLOOK_GUARD(L"Server");
    util::TraceScope trace(L"Server::connect");
    util::Log::getLog(L"ldapmodel")
        ->write(L"Server::connect %s port %d", m_strHostname.c_str(), m_iPortnumber);
    return guardedStep(__LINE__, L"Can't connect", [&] {
        if (m_bConnected || m_pSession != nullptr)
            disconnect();
        int connectResult = 0;
        std::unique_ptr<LdapSession> session =
            DirectoryReader::openSession(m_strHostname, m_iPortnumber, m_strBindDN, m_strPassword,
                                         anonymous, m_uTimeLimit, Model::instance().getPreferences(),
                                         m_tls, connectResult);
        if (session == nullptr)
            return -1;
        m_pSession = std::move(session);
        m_bConnected = true;
        std::wstring base = m_strBaseDN;
        std::wstring filter = m_strFilter;
        searchEntries(base, filter, LdapSession::SCOPE_BASE, false);
        return 0;
    });
}

int Server::disconnect()
{
    DIRLOOK_GUARD(L"Server");
    util::TraceScope trace(L"Server::disconnect");
    guardedStep(__LINE__, L"Can't disconnect, please refresh the view, \nafter connecting to a new server",
                [&] {
                    guardedStep(__LINE__, L"Can't clear the cache", [&] { m_cache.clear(); });
                    if (m_pSession != nullptr)
                        m_pSession->disconnect();
                    m_pSession.reset();
                    m_bConnected = false;
                });
    return 0;
}

gc_ptr<LDAPEntry> Server::getEntry(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"Server");
    if (!m_bConnected && connect(false) != 0)
        return gc_ptr<LDAPEntry>();
    if (m_pSession == nullptr)
        return gc_ptr<LDAPEntry>();
    return cacheReader().getEntry(dn);
}

DirectoryReader Server::cacheReader()
{
    return DirectoryReader(*m_pSession, m_cache, nullptr, m_uSizeLimit);
}

int Server::searchEntries(const std::wstring& base, const std::wstring& filter, int scope,
                          bool withValues)
{
    DIRLOOK_GUARD(L"Server");
    util::TraceScope trace(L"Server::searchEntries");
    return guardedStep(__LINE__, L"Can't search directory", [&] {
        if (!m_bConnected && connect(false) != 0)
            return -1;
        if (m_pSession == nullptr)
            return -1;
        gc_ptr<LDAPEntry> parent =
            guardedStep(__LINE__, L"Can't get parent entry", [&] { return getEntry(base); });
        return cacheReader().searchEntries(parent, base, filter, scope, withValues);
    });
}

gc_ptr<LDAPEntry> Server::getRootDSE()
{
    DIRLOOK_GUARD(L"Server");
    util::TraceScope trace(L"Server::getRootDSE");
    if (!m_bConnected)
        connect(true);
    gc_ptr<LDAPEntry> entry;
    if (m_bConnected)
        entry = getEntry(L"");
    disconnect();
    return entry;
}

int Server::getNamingContexts(std::vector<std::wstring>& list)
{
    DIRLOOK_GUARD(L"Server");
    util::TraceScope trace(L"Server::getNamingContexts");
    gc_ptr<LDAPEntry> rootDSE = getRootDSE();
    if (rootDSE.getObject() == nullptr)
        return -1;
    gc_ptr<LDAPAttribute> contexts = rootDSE->getAttribute(L"namingContexts");
    if (contexts.getObject() == nullptr || contexts->getValueCount() == 0)
        return -1;
    for (const gc_ptr<LDAPAttributeValue>& value : contexts->getValues()) {
        if (value.getObject() != nullptr)
            list.push_back(value->toString());
    }
    return 0;
}

} // namespace ldapmodel
