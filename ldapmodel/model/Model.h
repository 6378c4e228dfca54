#pragma once

#include "handles/gc_ptr.h"
#include "ldif/LdifReport.h"
#include "model/BackgroundState.h"
#include "model/ModelObservable.h"
#include "model/Preferences.h"
#include "model/SubtreeOutcome.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "session/TlsSettings.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ldapmodel {

class DirectoryReader;
class LdifChangeRecord;
class LDAPLdifFile;
class LDAPSchema;
class LdapPagedSearch;
class LdapSession;
enum class LdapModOperation;

// The one facade between the user interface and the directory: connection,
// entry cache, active entry, schema, limits and the background worker.
//
// Threads: every public operation is for the user-interface thread, except
// the background-state readers (isRunning, isStopRequested, getProgressCount,
// getCurrentDN), which observers may call from the worker while it calls
// them. While a background operation runs the worker uses the session handle
// (libldap 2.5 serialises use of one handle internally) and the cache under
// the cache mutex.
//
// Lost connection: when the session loses its connection (server down, or
// a wait the user cancelled) the model is no longer connected and does not
// connect again by itself; it tells its observer MODEL_UPDATE_CONNECTION_LOST
// once, on the user-interface thread (right away, or for a loss on the
// worker when the worker is joined or the next call needs the connection).
// The observer drops the connection (disconnect) when it is safe to.
class Model : public ModelObservable {
public:
    using EntryCache = std::map<std::wstring, memorylib::gc_ptr<LDAPEntry>>;

    // Creates the one instance on the first call.
    static memorylib::gc_ptr<Model> getInstance();
    // The same object without taking a share. Handle counts are not atomic:
    // observers called on the worker thread use this one.
    static Model& instance();

    ~Model() override;

    // ---- connection ----------------------------------------------------
    // 0 or -1. Disconnects first when connected; after the bind reads the
    // top of the tree, notifies MODEL_UPDATE_ALL and loads the schema. The
    // connects the model makes on its own bind the same way (anonymous: no
    // bind DN and no password).
    int connect(bool anonymous);
    bool isAnonymous() const { return m_bAnonymous; }
    // Clears cache, active entry and schema, unbinds, restores the defaults
    // (filter, limits) and notifies MODEL_UPDATE_ALL. Returns 0.
    int disconnect();
    bool isConnected() const;

    void setHost(const std::wstring& host);
    const std::wstring& getHost() const { return m_strHostname; }
    void setPort(int port);
    int getPort() const { return m_iPortnumber; }
    void setBaseDN(const std::wstring& baseDN);
    const std::wstring& getBaseDN() const { return m_strBaseDN; }
    void setFilter(const std::wstring& filter);
    const std::wstring& getFilter() const { return m_strFilter; }
    void setBindDN(const std::wstring& bindDN);
    const std::wstring& getBindDN() const { return m_strBindDN; }
    void setPassword(const std::wstring& password);
    const std::wstring& getPassword() const { return m_strPassword; }
    // How the next connect protects the connection (LDAPS, StartTLS, the CA
    // file); kept over disconnects like the host.
    void setTlsSettings(const TlsSettings& tls) { m_tls = tls; }
    const TlsSettings& getTlsSettings() const { return m_tls; }

    // Size limit: entries per search, 0 = none. Setting it while connected
    // reads the top of the tree again.
    void setSizeLimit(unsigned int sizeLimit);
    unsigned int getSizeLimit() const { return m_uSizeLimit; }
    // Time limit in seconds, 0 = none. Applied to the session when one exists.
    void setTimeLimit(unsigned int timeLimit);
    unsigned int getTimeLimit() const { return m_uTimeLimit; }

    // Time-outs, the pause between background results and the page size;
    // the time-outs apply to the open session too.
    void setPreferences(const Preferences& preferences);
    const Preferences& getPreferences() const { return m_preferences; }
    // The connection was lost and not dropped yet.
    bool isConnectionLost() const;

    int getLdifLineWidth() const { return m_iLdifLineWidth; }
    memorylib::gc_ptr<LDAPSchema> getSchema() const;
    // The open session, or null while not connected.
    LdapSession* getSession() const { return m_pSession.get(); }

    // ---- entry cache ---------------------------------------------------
    // From the cache, or read from the server and filed. Empty when not
    // connected and the connect fails, or when the read fails.
    memorylib::gc_ptr<LDAPEntry> getEntry(const std::wstring& dn);
    // The entry exists on the server (base search, names only).
    bool entryExists(const std::wstring& dn);
    // Searches and files the entries found under the parent base.
    // scope: LDAP_SCOPE_BASE / ONELEVEL / SUBTREE. 0, the LDAP code, or -1.
    int searchEntries(const std::wstring& base, const std::wstring& filter, int scope,
                      bool withValues);
    // Every cached DN, in cache order, with its components reversed.
    std::vector<std::wstring> getRootList();
    // Appends to list and returns it.
    std::vector<std::wstring>& getRootList(std::vector<std::wstring>& list);
    // Removes the DN from the cache. Returns 0.
    int forgetEntry(const std::wstring& dn);
    // The cached entry or empty; never reads from the server.
    memorylib::gc_ptr<LDAPEntry> findCachedEntry(const std::wstring& dn) const;
    std::size_t getCacheSize() const;

    // ---- active entry ----------------------------------------------------
    // Never empty: an empty entry when nothing is selected.
    memorylib::gc_ptr<LDAPEntry> getActiveEntry() const { return m_pActiveEntry; }
    // Empty when there is no active entry.
    std::wstring getActiveEntryDN() const;
    // Type of the active entry's RDN ("cn" for cn=a,ou=x), trimmed; empty
    // when the RDN holds no "=".
    std::wstring getActiveRDNType() const;
    // 0 or -1. Same DN or a DN that does not exist: nothing happens, 0.
    // Otherwise notifies MODEL_UPDATE_USER then MODEL_UPDATE_OPERATIONAL.
    int setActiveEntry(const std::wstring& dn);
    // Re-reads the active entry in place. Returns 0.
    int refreshActiveEntry(bool notify);
    // No active entry (a tree node without an entry is selected): notifies
    // MODEL_UPDATE_USER then MODEL_UPDATE_OPERATIONAL when there was one.
    void clearActiveEntry();

    // ---- background operations -------------------------------------------
    // The three background searches read page by page (the preferences'
    // page size) when the server lists the paged results control in its
    // root DSE; the size and time limits cap the whole read.
    //
    // The children of dn (one level, names and hasSubordinates, which
    // getCurrentSubordinates tells the tree observer). The ldap_search_ext code,
    // 0 when another operation was running (it is asked to stop instead), -1
    // when there is no session. The progress observer's finished is called
    // in every case where 0 or a code is returned, including a failed start.
    int readChildren(const std::wstring& dn);
    // The search dialog's search (subtree, names only, attributes given).
    int searchSubtree(const std::wstring& base, const std::wstring& filter,
                      const std::vector<std::wstring>& attributes);
    // The last children read of dn ended before the server had sent them
    // all: stopped, cut by a size, time or administrative limit, or broken
    // off. false when dn is not cached. Not while a worker runs.
    bool isChildListCut(const std::wstring& dn) const;
    // Asks a running operation to stop and waits for its worker; the worker
    // abandons the search. Returns the ldap_abandon code (0 when nothing ran).
    // Returns within about a second whatever the server does: every wait of
    // the worker watches the stop request, and a worker that is not done by
    // then has its socket shut down.
    int stopBackground();
    // Waits for the worker of the last operation to end.
    void waitBackground();

    // ---- LDIF ------------------------------------------------------------
    // The file the background subtree export appends to; stored by the
    // caller before exportSubtree.
    void setLdifFileName(const std::wstring& fileName) { m_strLdifFileName = fileName; }
    const std::wstring& getLdifFileName() const { return m_strLdifFileName; }
    // Appends the active entry, or with subtree every entry of its subtree in
    // the server's order (each announced in an "Entry exported" box), to
    // fileName at the model's line width. 0; -1 for an empty file name, no
    // active entry, a search without entries, an entry without DN or a file
    // that can't be written (reported; what was written stays); or the
    // search's LDAP code (reported; a size limit only is reported and the
    // entries that arrived are written).
    int exportLdif(const std::wstring& fileName, bool subtree);
    // Background subtree search under base with values; each entry found is
    // appended to the LDIF file name at the LDIF file's own width. The
    // ldap_search_ext code (reported), 0 when another operation was running
    // (it is asked to stop instead), -1 without a session or a file name.
    // The progress observer's finished comes as with readChildren.
    int exportSubtree(const std::wstring& base, const std::wstring& filter,
                      const std::vector<std::wstring>& attributes);
    // Background import of the LDIF file through syn_addEntry; a stop
    // request ends it before the next line of the file. 0 when it started
    // or another operation was running (asked to stop instead); -1 for an
    // empty file name, no connection, or a name that is no regular file
    // (a FIFO would block the open; reported here) (the worker still ends
    // with finished). A file that can't be opened is reported by the worker.
    int importLdif(const std::wstring& fileName);
    // Outcome of the last background export or import, once its worker has
    // ended: import, the LDIF file's readEntries result (-1 as well when the
    // file can't be opened); export, the search's result code, or -1 when
    // the file can't be written or the search did not start.
    int getLdifResult() const { return m_iLdifResult.load(); }
    // What the user is to be told at the end of the last LDIF operation,
    // once its worker has ended: an import that did not add every record
    // (the summary: added, refused by reason, where the refused records
    // are, what was lost), an export cut short (entries written and why it
    // stopped) or one that left attribute names out. Empty otherwise.
    LdifReport getLdifReport() const;
    // The LDAP code of the last syn_addEntry (0 after a success, -1 when
    // nothing was sent) and the report's text ("LDAPError 68: Already exists").
    int getLastAddResult() const { return m_iLastAddResult.load(); }
    std::wstring getLastAddError() const;

    bool isRunning() const { return m_background.isRunning(); }
    void requestStop() { m_background.requestStop(); }
    void clearStopRequest() { m_background.clearStopRequest(); }
    bool isStopRequested() const { return m_background.isStopRequested(); }
    int getProgressCount() const { return m_background.getProgressCount(); }
    std::wstring getCurrentDN() const { return m_background.getCurrentDN(); }
    Subordinates getCurrentSubordinates() const { return m_background.getCurrentSubordinates(); }
    // The open session's server lists the paged results control in its
    // root DSE; asked once per connection, when it is made. false while not
    // connected.
    bool offersPagedResults();
    BackgroundState& getBackgroundState() { return m_background; }

    // ---- restart -----------------------------------------------------------
    // Clears cache, active entry and schema, drops the connection (unbinds)
    // and restores the defaults, without notifying.
    void reset();

    // ---- modifications (one request each) ----------------------------------
    // Adds the entry with its user attributes. 0 or -1.
    int syn_addEntry(const memorylib::gc_ptr<LDAPEntry>& entry);
    // One add / replace of one value. The LDAP code, or -1.
    int syn_addAttributeValue(const std::wstring& dn,
                              const memorylib::gc_ptr<LDAPAttributeValue>& value,
                              const std::wstring& attributeName);
    int syn_replaceSingleAttributeValue(const std::wstring& dn,
                                        const memorylib::gc_ptr<LDAPAttributeValue>& value,
                                        const std::wstring& attributeName);
    // Deletes the value at index of the cached entry's attribute.
    int syn_deleteAttributeValue(const std::wstring& dn, int index,
                                 const std::wstring& attributeName);
    // Deletes the whole attribute.
    int sys_deleteAttribute(const std::wstring& dn, const std::wstring& attributeName);
    // Replaces the only value, or adds the new value and deletes the one at
    // index. 0, the LDAP code, or -1.
    int modifyAttributeValue(const std::wstring& dn, const std::wstring& attributeName,
                             const memorylib::gc_ptr<LDAPAttributeValue>& newValue, int index);
    // newRDN is "type=value"; the entry stays under its parent and loses the
    // old RDN value. The LDAP code.
    int renameEntry(const std::wstring& dn, const std::wstring& newRDN);
    // Deletes the one entry (no subtree). The LDAP code. Without
    // reportNotLeaf a refusal with 66 (the entry has children) is not
    // reported: the caller offers the subtree delete instead.
    int removeEntry(const std::wstring& dn);
    int removeEntry(const std::wstring& dn, bool reportNotLeaf);

    // ---- restructuring -------------------------------------------------------
    // Moves dn under newParentDN with one rename request that keeps the
    // RDN; newDN gets the new DN. The LDAP code (reported as "Move Entry"),
    // -1 when not connected. After a success the cache forgets dn and what
    // is cached below it, and the active entry is dropped (without notice)
    // when it was dn or below it: the caller makes the moved entry active.
    int moveEntry(const std::wstring& dn, const std::wstring& newParentDN, std::wstring& newDN);
    // The DNs of dn's children, names only, at most sizeLimit of them (0:
    // as many as the server sends). The search code (reported as "Read
    // Children", a size limit only when sizeLimit is 0), -1 when not
    // connected.
    int listChildren(const std::wstring& dn, unsigned int sizeLimit, std::vector<std::wstring>& children);
    // Counts the entries below dn: 0, or 4 when the server sent only part
    // of them (below counts those); another code is reported ("Count
    // Entries"); -1 when not connected.
    int countSubtree(const std::wstring& dn, int& below);
    // The root DSE lists the subtree delete control.
    bool supportsSubtreeDelete();
    // Deletes dn and everything below it in one request with the subtree
    // delete control. The LDAP code (reported as "Remove Entry"); after a
    // success the cache forgets the subtree.
    int removeSubtree(const std::wstring& dn);
    // Background: deletes dn and everything below it, leaves first
    // (SubtreeDelete); a stop request ends it before the next delete.
    // 0 when it started (or another operation was running and is asked to
    // stop), -1 without a connection (the worker still ends with finished).
    // The outcome: takeSubtreeOutcome.
    int deleteSubtree(const std::wstring& dn);
    // Copies sourceDN (user attributes) under parentDN, keeping its RDN;
    // newDN gets the copy's DN. The LDAP code (reported as "Paste Entry",
    // with the server's message), -1 when not connected.
    int copyEntry(const std::wstring& sourceDN, const std::wstring& parentDN, std::wstring& newDN);
    // Background: copies sourceDN with its subtree under parentDN
    // (SubtreeCopy); started and stopped as deleteSubtree.
    int copySubtree(const std::wstring& sourceDN, const std::wstring& parentDN);
    // The outcome of the last deleteSubtree or copySubtree once its worker
    // has ended; the cache forgets the entries deleted.
    SubtreeOutcome takeSubtreeOutcome();
    // Forgets dn and every cached entry below it, and drops dn from its
    // cached parent's child list.
    void forgetSubtree(const std::wstring& dn);

    // One change record of an import, on the import's worker: add, delete,
    // modify, or a rename with an optional new parent. 0, the LDAP code, or
    // -1 when nothing was sent; like syn_addEntry it sets the last add
    // result and error (getLastAddResult, getLastAddError). The cache
    // forgets the entries changed once the worker has been joined.
    int applyLdifChange(const LdifChangeRecord& change);
    // Changes the last import applied (change records other than add).
    int getImportChangeCount() const { return m_iImportChanges.load(); }

private:
    Model();
    // The process-wide handle.
    static memorylib::gc_ptr<Model>& holder();

    enum class WorkerKind { Children, Subtree, Export };
    // What a worker needs, copied on the user-interface thread.
    struct WorkerJob {
        WorkerKind kind = WorkerKind::Children;
        std::wstring baseDN;
        std::wstring fileName;  // Export: the LDIF file
        LdapSession* session = nullptr;  // null when the search did not start
        std::shared_ptr<LdapPagedSearch> search;  // the same
        unsigned int sizeLimit = 0;
        int pauseMilliseconds = 0;
        bool asciiOnly = false;  // Export: LDAPLdifFile::setAsciiOnly
    };

    // Startup values of everything but host, port, bind DN, password, base
    // DN; drops the session.
    void resetFields();
    // Cache, active entry, schema.
    void clearContents();
    int openSession(bool anonymous);
    void closeSession();
    int readTop();
    bool ensureConnected();
    // getEntry without connecting first.
    memorylib::gc_ptr<LDAPEntry> fetchEntry(const std::wstring& dn);
    // Reads through the open session into the cache, under the cache mutex.
    DirectoryReader cacheReader();
    // Files entry under its own DN unless the key is taken (first filed
    // wins). Caller holds m_cacheMutex.
    void fileEntryLocked(const memorylib::gc_ptr<LDAPEntry>& entry);
    // Runs fn on the cached entry of dn under the cache mutex; false when
    // the DN is not cached.
    bool withCachedEntry(const std::wstring& dn, const std::function<void(LDAPEntry&)>& fn);
    void setLastAddResult(int code, const std::wstring& error);
    int modifyOne(const std::wstring& dn, LdapModOperation operation, const std::wstring& attributeName,
                  const std::vector<memorylib::gc_ptr<LDAPAttributeValue>>& values,
                  const wchar_t* context);

    // Background machinery. claimBackground turns a request during a run
    // into a stop request (false); otherwise joins the last worker and
    // readies the state (true).
    bool claimBackground();
    int startBackgroundSearch(WorkerKind kind, const std::wstring& base, int scope,
                              const std::wstring& filter,
                              const std::vector<std::wstring>& attributes, bool reportStart);
    // Appends one entry of an export to file; a failure is reported. 0 or -1.
    static int writeExportedEntry(LDAPLdifFile& file, const LDAPEntry& entry);
    // exportLdif's subtree: searched at once, each entry announced and written.
    int exportSubtreeNow(LDAPLdifFile& file, const std::wstring& base);
    // After the worker's search loop of an export: the report of how it
    // ended, from the last message's type and the search's result.
    void finishExport(const LDAPLdifFile& file);
    void setLdifReport(const LdifReport& report);
    void runImportWorker(const std::wstring& fileName, int pauseMilliseconds);
    // Starts body as the background operation (claimed first with
    // claimBackground); afterwards the worker tells the progress observer
    // finished and clears the state.
    void launchWorker(std::function<void()> body);
    void runSearchWorker(const WorkerJob& job);
    // Worker side of getEntry: reads and files the entry unless cached,
    // taking no share of an entry the user-interface thread can reach.
    void ensureCachedOnWorker(LdapSession& session, const std::wstring& dn, unsigned int sizeLimit);
    // Asks a worker to stop, joins it and drops retired observers.
    void stopWorker();
    // After a worker has been joined: the cache forgets what it changed.
    void forgetChangedEntries();
    // The page size of a subtree walk's searches: the preference when the
    // server offers paged results, else 0.
    unsigned int subtreePageSize();
    // Starts walk as the background operation; its outcome is kept for
    // takeSubtreeOutcome.
    // forgetDone: the cache forgets each entry the walk handled (deletes).
    int startSubtreeWalk(const std::function<SubtreeOutcome(LdapSession&, const SubtreeHooks&)>& walk,
                         bool forgetDone);
    // The session's lost handler: any thread.
    void onConnectionLost(int code);
    // Tells the observer about a lost connection not told yet; nothing on
    // the worker.
    void announceLostConnection();

    std::wstring m_strHostname;
    int m_iPortnumber = 389;
    std::wstring m_strBindDN;
    std::wstring m_strPassword;
    TlsSettings m_tls;
    std::wstring m_strBaseDN;
    std::wstring m_strFilter;
    std::unique_ptr<LdapSession> m_pSession;
    unsigned int m_uSizeLimit = 0;
    unsigned int m_uTimeLimit = 0;
    Preferences m_preferences;
    bool m_bConnected = false;
    bool m_bAnonymous = false;  // how the last connect bound
    int m_iPagedResults = -1;   // the session's server offers paging: 1, 0, -1 not asked yet
    int m_iLdifLineWidth = 70;
    std::wstring m_strLdifFileName;
    memorylib::gc_ptr<LDAPEntry> m_pActiveEntry;
    memorylib::gc_ptr<LDAPSchema> m_pSchema;

    // Guards m_cache and the child lists and flags of cached entries, which
    // the worker updates while the user-interface thread may look entries up.
    mutable std::mutex m_cacheMutex;
    EntryCache m_cache;

    BackgroundState m_background;
    // Code of the worker's ldap_abandon, for stopBackground.
    std::atomic<int> m_iAbandonResult{0};
    // Written by the LDIF workers, read after they end.
    std::atomic<int> m_iLdifResult{0};
    // Set by syn_addEntry, which the import runs on the worker.
    std::atomic<int> m_iLastAddResult{0};
    std::atomic<int> m_iLastConnectResult{0};  // code of the last failed connect, 0 after a good one
    std::atomic<bool> m_bLostUntold{false};  // a lost connection the observer was not told of
    mutable std::mutex m_lastAddMutex;  // guards m_strLastAddError
    std::wstring m_strLastAddError;
    mutable std::mutex m_ldifReportMutex;  // guards m_ldifReport, set by the LDIF workers
    LdifReport m_ldifReport;
    // Set by the workers, taken on the user-interface thread after the join.
    std::mutex m_changesMutex;  // guards the two below
    SubtreeOutcome m_subtreeOutcome;
    std::vector<std::wstring> m_changedDNs;  // entries (with their subtrees) the cache must forget
    std::atomic<int> m_iImportChanges{0};
};

} // namespace ldapmodel
