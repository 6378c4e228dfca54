#pragma once

#include "handles/gc_ptr.h"
#include "handles/RefCount.h"
#include "records/LDAPEntry.h"
#include "session/TlsSettings.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ldapmodel {

class DirectoryReader;
class LdapSession;

// Small connection used by the connection properties dialog to read a
// server's naming contexts. User-interface thread only.
class Server : public memorylib::RefCount {
public:
    // Creates the one instance on the first call.
    static memorylib::gc_ptr<Server> getInstance();

    Server();
    ~Server() override;
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    void setHost(const std::wstring& host) { m_strHostname = host; }
    const std::wstring& getHost() const { return m_strHostname; }
    void setPort(int port) { m_iPortnumber = port; }
    int getPort() const { return m_iPortnumber; }
    void setBaseDN(const std::wstring& baseDN) { m_strBaseDN = baseDN; }
    const std::wstring& getBaseDN() const { return m_strBaseDN; }
    void setFilter(const std::wstring& filter) { m_strFilter = filter; }
    const std::wstring& getFilter() const { return m_strFilter; }
    void setBindDN(const std::wstring& bindDN) { m_strBindDN = bindDN; }
    const std::wstring& getBindDN() const { return m_strBindDN; }
    void setPassword(const std::wstring& password) { m_strPassword = password; }
    void setTlsSettings(const TlsSettings& tls) { m_tls = tls; }
    const TlsSettings& getTlsSettings() const { return m_tls; }
    void setSizeLimit(unsigned int sizeLimit) { m_uSizeLimit = sizeLimit; }
    unsigned int getSizeLimit() const { return m_uSizeLimit; }
    void setTimeLimit(unsigned int timeLimit) { m_uTimeLimit = timeLimit; }
    unsigned int getTimeLimit() const { return m_uTimeLimit; }

    // 0 or -1; after the bind reads the top of the tree (no notification,
    // no schema).
    int connect(bool anonymous);
    // Clears the cache and unbinds. Returns 0.
    int disconnect();
    bool isConnected() const { return m_bConnected; }

    // From the cache, or read from the server and filed; empty on failure.
    memorylib::gc_ptr<LDAPEntry> getEntry(const std::wstring& dn);
    // 0, the LDAP code, or -1 (as Model::searchEntries).
    int searchEntries(const std::wstring& base, const std::wstring& filter, int scope,
                      bool withValues);
    std::size_t getCacheSize() const { return m_cache.size(); }

    // Connects anonymously when needed, reads the root DSE, disconnects in
    // every case. Empty when the connect failed.
    memorylib::gc_ptr<LDAPEntry> getRootDSE();
    // Appends the root DSE's naming contexts to list. 0, or -1 when the root
    // DSE has none (list unchanged).
    int getNamingContexts(std::vector<std::wstring>& list);

private:
    // Reads through the open session into the cache.
    DirectoryReader cacheReader();

    std::wstring m_strHostname;
    int m_iPortnumber = 389;
    std::wstring m_strBindDN;
    std::wstring m_strPassword;
    TlsSettings m_tls;
    std::wstring m_strBaseDN;
    std::wstring m_strFilter = L"objectclass=*";
    unsigned int m_uSizeLimit = 30;
    unsigned int m_uTimeLimit = 0;
    std::unique_ptr<LdapSession> m_pSession;
    bool m_bConnected = false;
    std::map<std::wstring, memorylib::gc_ptr<LDAPEntry>> m_cache;
};

} // namespace ldapmodel
