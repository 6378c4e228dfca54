#include "model/Model.h"

#include "faults/FaultGuard.h"
#include "ldif/LDAPLdifFile.h"
#include "ldif/LdifChangeRecord.h"
#include "ldif/LdifExportReport.h"
#include "ldif/LdifImportReport.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/DirectoryReader.h"
#include "model/SubtreeCopy.h"
#include "model/SubtreeDelete.h"
#include "schema/LDAPSchema.h"
#include "session/DistinguishedName.h"
#include "session/LdapErrorReport.h"
#include "session/LdapModList.h"
#include "session/LdapResultCode.h"
#include "session/LdapPagedSearch.h"
#include "session/LdapSearchMessage.h"
#include "session/LdapSession.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"
#include "utilities/WaitService.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>
#include <unordered_set>
#include <utility>

namespace ldapmodel {

using memorylib::gc_ptr;

namespace {

const wchar_t* const kSourceFile = L"Model";
const wchar_t* const kDefaultFilter = L"objectclass=*";
constexpr int kDefaultLdifLineWidth = 70;
// The worker waits this long for a message before it looks at the stop flag
// again, so a stop needs no message from the server to take effect.
constexpr int kResultWaitMilliseconds = 20;
// How long a stop waits for the worker before it shuts the socket down.
constexpr std::chrono::milliseconds kStopWait(800);

// True on the model's worker thread.
thread_local bool t_bOnWorker = false;

// The pause between the messages of a background search: each message is
// taken no sooner than the pause after the one before. The time spent on a
// message and a sleep's overshoot count toward the next pause, so that they
// do not add up over many messages; a message that comes late is taken at
// once and the next one waits its whole pause again.
class MessagePace {
public:
    explicit MessagePace(std::chrono::milliseconds pause)
        : m_pause(pause), m_next(std::chrono::steady_clock::now()) {}
    void pause()
    {
        m_next = std::max(m_next + m_pause, std::chrono::steady_clock::now());
        std::this_thread::sleep_until(m_next);
    }

private:
    std::chrono::milliseconds m_pause;
    std::chrono::steady_clock::time_point m_next;
};

// The worker's answer to a wait: stop when the user asked to stop.
class StopRequestWaits : public util::WaitService {
public:
    explicit StopRequestWaits(const BackgroundState& state) : m_state(state) {}
    util::WaitAnswer waiting(const std::wstring&, std::chrono::milliseconds) override
    {
        return m_state.isStopRequested() ? util::WaitAnswer::Stop : util::WaitAnswer::Continue;
    }

private:
    const BackgroundState& m_state;
};

// Runs one step; an exception escaping it ends the process with reason.
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

// The DN as the entry stores it (blanks around commas removed).
std::wstring storedForm(const std::wstring& dn)
{
    LDAPEntry probe;
    probe.setDN(dn);
    return probe.getDN();
}

// The DN without its first RDN; empty for a single RDN.
std::wstring parentOf(const std::wstring& dn)
{
    return DistinguishedName::parent(dn);
}

// A file the import can read: it opens, and it is a regular file (a
// directory opens on this platform but reads nothing). The open does not
// wait for the writer of a FIFO.
bool isReadableFile(const std::wstring& fileName)
{
    const int file = ::open(util::toUtf8(fileName).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return false;
    struct stat status {};
    const bool regular = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode);
    ::close(file);
    return regular;
}

// Something other than a regular file or a folder is there (a FIFO, a
// socket, a device): reading it could wait for ever.
bool isSpecialFile(const std::wstring& fileName)
{
    struct stat status {};
    if (::stat(util::toUtf8(fileName).c_str(), &status) != 0)
        return false;
    return !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

util::Log& log()
{
    static gc_ptr<util::Log> instance = util::Log::getLog(L"ldapmodel");
    return *instance;
}

// The RDNs of dn in one form for comparing (DistinguishedName::rdnKey, ASCII
// letter case ignored), leftmost first.
std::vector<std::wstring> comparableRdns(const std::wstring& dn)
{
    std::vector<std::wstring> rdns = DistinguishedName::components(dn);
    for (std::wstring& rdn : rdns) {
        rdn = DistinguishedName::rdnKey(rdn);
        for (wchar_t& c : rdn) {
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c + (L'a' - L'A'));
        }
    }
    return rdns;
}

LdapModOperation modOperation(LdifChangeRecord::Operation operation)
{
    switch (operation) {
    case LdifChangeRecord::Operation::Add:
        return LdapModOperation::Add;
    case LdifChangeRecord::Operation::Delete:
        return LdapModOperation::Delete;
    case LdifChangeRecord::Operation::Replace:
        break;
    }
    return LdapModOperation::Replace;
}

std::wstring refusalText(int code)
{
    return L"LDAPError " + std::to_wstring(code) + L": " + ldapErrorText(code);
}

} // namespace

gc_ptr<Model>& Model::holder()
{
    static gc_ptr<Model> instance = new Model();
    return instance;
}

gc_ptr<Model> Model::getInstance()
{
    return holder();
}

Model& Model::instance()
{
    return *holder().getObject();
}

Model::Model()
{
    resetFields();
}

Model::~Model()
{
    m_background.requestStop();
    m_background.joinWorker();
    releaseRetiredObservers();
    closeSession();
}

// ---- connection ------------------------------------------------------------

bool Model::isConnected() const
{
    return m_bConnected && m_pSession != nullptr && !m_pSession->isLost();
}

bool Model::isConnectionLost() const
{
    return m_pSession != nullptr && m_pSession->isLost();
}

void Model::setPreferences(const Preferences& preferences)
{
    m_preferences = preferences;
    if (m_pSession != nullptr)
        m_pSession->setTimeouts({preferences.connectTimeoutSeconds, preferences.operationTimeoutSeconds});
}

void Model::onConnectionLost(int code)
{
    log().write(L"Model: connection lost, code %d", code);
    m_bLostUntold.store(true);
    if (!t_bOnWorker)
        announceLostConnection();
}

void Model::announceLostConnection()
{
    if (t_bOnWorker || !m_bLostUntold.exchange(false))
        return;
    notify(MODEL_UPDATE_CONNECTION_LOST);
}

void Model::setHost(const std::wstring& host) { m_strHostname = host; }
void Model::setPort(int port) { m_iPortnumber = port; }
void Model::setBaseDN(const std::wstring& baseDN) { m_strBaseDN = baseDN; }
void Model::setFilter(const std::wstring& filter) { m_strFilter = filter; }
void Model::setBindDN(const std::wstring& bindDN) { m_strBindDN = bindDN; }
void Model::setPassword(const std::wstring& password) { m_strPassword = password; }

int Model::connect(bool anonymous)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::connect");
    log().write(L"Model::connect %s port %d base %s", m_strHostname.c_str(), m_iPortnumber,
                m_strBaseDN.c_str());
    return guardedStep(__LINE__, L"Can't connect", [&] {
        if (m_bConnected || m_pSession != nullptr)
            disconnect();
        // Kept for the connects the model makes on its own.
        m_bAnonymous = anonymous;
        if (openSession(anonymous) != 0)
            return -1;
        readTop();
        // Asked here, so that no background read waits for it.
        offersPagedResults();
        notify(MODEL_UPDATE_ALL);
        m_pSchema = LDAPSchema::getInstance();
        m_pSchema->clear();
        m_pSchema->load(*m_pSession, L"");
        return 0;
    });
}

int Model::openSession(bool anonymous)
{
    int connectResult = 0;
    std::unique_ptr<LdapSession> session =
        DirectoryReader::openSession(m_strHostname, m_iPortnumber, m_strBindDN, m_strPassword,
                                     anonymous, m_uTimeLimit, m_preferences, m_tls, connectResult);
    m_iLastConnectResult = connectResult;
    if (session == nullptr)
        return -1;
    m_bLostUntold.store(false);
    session->setLostHandler([this](int code) { onConnectionLost(code); });
    m_pSession = std::move(session);
    m_iPagedResults = -1;
    m_bConnected = true;
    return 0;
}

void Model::closeSession()
{
    if (m_pSession != nullptr)
        m_pSession->disconnect();
    m_pSession.reset();
    m_bConnected = false;
    m_bLostUntold.store(false);
    m_iPagedResults = -1;
}

int Model::readTop()
{
    std::wstring base = m_strBaseDN;
    std::wstring filter = m_strFilter;
    return searchEntries(base, filter, LdapSession::SCOPE_BASE, false);
}

bool Model::ensureConnected()
{
    if (isConnected())
        return true;
    // A lost connection is not opened again behind the user's back.
    if (isConnectionLost()) {
        announceLostConnection();
        return false;
    }
    // As the last connect bound: an anonymous connection sends no credentials.
    return connect(m_bAnonymous) == 0 && isConnected();
}

int Model::disconnect()
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::disconnect");
    log().write(L"Model::disconnect");
    guardedStep(__LINE__, L"Can't disconnect, please refresh the view, \nafter connecting to a new server",
                [&] {
                    stopWorker();
                    clearContents();
                    closeSession();
                    guardedStep(__LINE__, L"Can't reset model", [&] { resetFields(); });
                });
    notify(MODEL_UPDATE_ALL);
    return 0;
}

void Model::reset()
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::reset");
    guardedStep(__LINE__, L"Can't reset model", [&] {
        stopWorker();
        clearContents();
        closeSession();
        resetFields();
    });
}

void Model::clearContents()
{
    guardedStep(__LINE__, L"Can't clear the cache", [&] {
        std::lock_guard<std::mutex> lock(m_cacheMutex);
        m_cache.clear();
    });
    guardedStep(__LINE__, L"Can't clear the active entry", [&] {
        if (m_pActiveEntry.getObject() != nullptr)
            m_pActiveEntry->clear();
    });
    if (m_pSchema.getObject() == nullptr)
        m_pSchema = LDAPSchema::getInstance();
    m_pSchema->clear();
}

void Model::resetFields()
{
    m_pSchema = LDAPSchema::getInstance();
    m_pSchema->clear();
    m_pActiveEntry = new LDAPEntry();
    m_strFilter = kDefaultFilter;
    m_uSizeLimit = 0;
    m_uTimeLimit = 0;
    closeSession();
    m_iLdifLineWidth = kDefaultLdifLineWidth;
}

void Model::setSizeLimit(unsigned int sizeLimit)
{
    m_uSizeLimit = sizeLimit;
    if (isConnected())
        readTop();
}

void Model::setTimeLimit(unsigned int timeLimit)
{
    m_uTimeLimit = timeLimit;
    if (m_pSession != nullptr && m_pSession->hasHandle())
        m_pSession->setTimeLimit(timeLimit);
}

gc_ptr<LDAPSchema> Model::getSchema() const
{
    return m_pSchema;
}

// ---- entry cache -----------------------------------------------------------

gc_ptr<LDAPEntry> Model::getEntry(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"Model");
    if (!ensureConnected())
        return gc_ptr<LDAPEntry>();
    return fetchEntry(dn);
}

gc_ptr<LDAPEntry> Model::fetchEntry(const std::wstring& dn)
{
    return cacheReader().getEntry(dn);
}

DirectoryReader Model::cacheReader()
{
    return DirectoryReader(*m_pSession, m_cache, &m_cacheMutex, m_uSizeLimit);
}

void Model::fileEntryLocked(const gc_ptr<LDAPEntry>& entry)
{
    // First filed wins.
    m_cache.emplace(entry->getDN(), entry);
}

bool Model::withCachedEntry(const std::wstring& dn, const std::function<void(LDAPEntry&)>& fn)
{
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    auto found = m_cache.find(dn);
    if (found == m_cache.end() || found->second.getObject() == nullptr)
        return false;
    fn(*found->second.getObject());
    return true;
}

gc_ptr<LDAPEntry> Model::findCachedEntry(const std::wstring& dn) const
{
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    auto found = m_cache.find(dn);
    return found == m_cache.end() ? gc_ptr<LDAPEntry>() : found->second;
}

std::size_t Model::getCacheSize() const
{
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    return m_cache.size();
}

bool Model::entryExists(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"Model");
    if (!ensureConnected())
        return false;
    return m_pSession->entryExists(dn);
}

int Model::searchEntries(const std::wstring& base, const std::wstring& filter, int scope,
                         bool withValues)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::searchEntries");
    return guardedStep(__LINE__, L"Can't search directory", [&] {
        if (!ensureConnected())
            return -1;
        gc_ptr<LDAPEntry> parent =
            guardedStep(__LINE__, L"Can't get parent entry", [&] { return fetchEntry(base); });
        return cacheReader().searchEntries(parent, base, filter, scope, withValues);
    });
}

std::vector<std::wstring> Model::getRootList()
{
    std::vector<std::wstring> list;
    getRootList(list);
    return list;
}

std::vector<std::wstring>& Model::getRootList(std::vector<std::wstring>& list)
{
    DIRLOOK_GUARD(L"Model");
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    list.reserve(list.size() + m_cache.size());
    for (const auto& item : m_cache)
        list.push_back(DistinguishedName::reversed(item.first));
    return list;
}

int Model::forgetEntry(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"Model");
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    m_cache.erase(dn);
    return 0;
}

// ---- active entry ----------------------------------------------------------

std::wstring Model::getActiveEntryDN() const
{
    if (m_pActiveEntry.getObject() == nullptr)
        return std::wstring();
    return m_pActiveEntry->getDN();
}

std::wstring Model::getActiveRDNType() const
{
    if (m_pActiveEntry.getObject() == nullptr)
        return std::wstring();
    std::wstring rdn = m_pActiveEntry->getRDN();
    std::wstring::size_type equals = rdn.find(L'=');
    if (equals == std::wstring::npos)
        return std::wstring();
    return util::trim(rdn.substr(0, equals));
}

int Model::setActiveEntry(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::setActiveEntry");
    if (dn == getActiveEntryDN())
        return 0;
    if (!entryExists(dn))
        return 0;
    gc_ptr<LDAPEntry> entry = getEntry(dn);
    if (entry.getObject() == nullptr)
        return -1;
    m_pActiveEntry = entry;
    notify(MODEL_UPDATE_USER);
    notify(MODEL_UPDATE_OPERATIONAL);
    return 0;
}

int Model::refreshActiveEntry(bool notifyViews)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::refreshActiveEntry");
    if (!ensureConnected())
        return -1;
    // Nothing selected: an empty DN would read the root DSE into it.
    if (m_pActiveEntry.getObject() == nullptr || m_pActiveEntry->getDN().empty())
        return 0;
    m_pActiveEntry->readFromServer(*m_pSession, m_uSizeLimit);
    {
        std::lock_guard<std::mutex> lock(m_cacheMutex);
        fileEntryLocked(m_pActiveEntry);
    }
    if (notifyViews) {
        notify(MODEL_UPDATE_USER);
        notify(MODEL_UPDATE_OPERATIONAL);
    }
    return 0;
}

void Model::clearActiveEntry()
{
    DIRLOOK_GUARD(L"Model");
    if (getActiveEntryDN().empty())
        return;
    m_pActiveEntry = new LDAPEntry();
    notify(MODEL_UPDATE_USER);
    notify(MODEL_UPDATE_OPERATIONAL);
}

// ---- background operations ---------------------------------------------------

bool Model::isChildListCut(const std::wstring& dn) const
{
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    auto found = m_cache.find(storedForm(dn));
    if (found == m_cache.end() || found->second.getObject() == nullptr)
        return false;
    const LDAPEntry& entry = *found->second.getObject();
    return !entry.isChildrenComplete() || entry.isCutShort();
}

int Model::readChildren(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::readChildren");
    return startBackgroundSearch(WorkerKind::Children, dn, LdapSession::SCOPE_ONELEVEL, kDefaultFilter,
                                 {L"hasSubordinates"}, false);
}

bool Model::offersPagedResults()
{
    if (!isConnected())
        return false;
    if (m_iPagedResults < 0) {
        std::vector<gc_ptr<LDAPAttribute>> attributes;
        bool offered = false;
        if (m_pSession->readAttributes(L"", {L"supportedControl"}, 0, attributes) == 0) {
            for (const gc_ptr<LDAPAttribute>& attribute : attributes) {
                for (const gc_ptr<LDAPAttributeValue>& value : attribute->getValues())
                    offered = offered || value->toString() == LdapPagedSearch::CONTROL_OID;
            }
        }
        // A read that failed for a lost connection is not the server's answer.
        if (isConnected())
            m_iPagedResults = offered ? 1 : 0;
    }
    return m_iPagedResults == 1;
}

unsigned int Model::subtreePageSize()
{
    return m_preferences.pageSize > 0 && offersPagedResults() ? static_cast<unsigned int>(m_preferences.pageSize) : 0;
}

int Model::searchSubtree(const std::wstring& base, const std::wstring& filter,
                         const std::vector<std::wstring>& attributes)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::searchSubtree");
    return startBackgroundSearch(WorkerKind::Subtree, base, LdapSession::SCOPE_SUBTREE, filter,
                                 attributes, true);
}

bool Model::claimBackground()
{
    // A run that has not reached its end yet only takes a stop request.
    if (m_background.isRunning() && !m_background.isEnding()) {
        m_background.requestStop();
        return false;
    }
    stopWorker();
    m_background.clear();
    return true;
}

int Model::startBackgroundSearch(WorkerKind kind, const std::wstring& base, int scope,
                                 const std::wstring& filter, const std::vector<std::wstring>& attributes,
                                 bool reportStart)
{
    if (!claimBackground())
        return 0;
    // Only the export asks for values, and it needs a file to write them to.
    const bool exporting = kind == WorkerKind::Export;
    const std::wstring fileName = exporting ? m_strLdifFileName : std::wstring();
    LdapSession* session = m_pSession.get();
    std::shared_ptr<LdapPagedSearch> search;
    int code = -1;
    if (session != nullptr && !(exporting && fileName.empty())) {
        LdapPagedSearch::Request request;
        request.base = base;
        request.scope = scope;
        request.filter = filter;
        request.attributes = attributes;
        // The search dialog wants names; a child read its hasSubordinates.
        request.attrsOnly = kind == WorkerKind::Subtree;
        request.withValues = exporting;
        request.readSubordinates = kind == WorkerKind::Children;
        request.sizeLimit = m_uSizeLimit;
        request.timeLimitSeconds = m_uTimeLimit;
        if (m_preferences.pageSize > 0 && m_iPagedResults == 1)
            request.pageSize = static_cast<unsigned int>(m_preferences.pageSize);
        search = std::make_shared<LdapPagedSearch>(*session, std::move(request));
        code = search->start();
    }
    const int messageId = search != nullptr ? search->getMessageId() : 0;
    if (code != 0 && reportStart)
        reportLdapError(code, ldapErrorText(code));
    if (exporting) {
        m_iLdifResult.store(code);
        setLdifReport(LdifReport());
    }

    m_background.setBaseDN(base);
    m_background.setFileName(fileName);
    m_background.setMessageId(messageId);
    m_background.setLastResult(code);
    // The worker gets copies of what it needs; it reads no field of the
    // model the user-interface thread may write meanwhile.
    WorkerJob job;
    job.kind = kind;
    job.baseDN = base;
    job.fileName = fileName;
    job.session = code == 0 ? session : nullptr;
    if (code == 0)
        job.search = search;
    job.sizeLimit = m_uSizeLimit;
    job.pauseMilliseconds = m_preferences.resultPauseMilliseconds;
    job.asciiOnly = m_preferences.ldifAsciiOnly;
    launchWorker([this, job] { runSearchWorker(job); });
    return code;
}

void Model::launchWorker(std::function<void()> body)
{
    m_iAbandonResult.store(0);
    m_background.setRunning(true);
    m_background.startWorker([this, body = std::move(body)] {
        DIRLOOK_GUARD(L"Model");
        t_bOnWorker = true;
        StopRequestWaits waits(m_background);
        util::ThreadWaitService waitsOnThisThread(waits);
        body();
        m_background.setEnding(true);
        progressFinished();
        m_background.clear();
    });
}

void Model::ensureCachedOnWorker(LdapSession& session, const std::wstring& dn, unsigned int sizeLimit)
{
    {
        std::lock_guard<std::mutex> lock(m_cacheMutex);
        if (m_cache.find(dn) != m_cache.end())
            return;
    }
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(dn);
    bool read = entry->readFromServer(session, sizeLimit);
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    if (read)
        fileEntryLocked(entry);
    // Let go of the handle under the lock: once filed, the user-interface
    // thread may take shares of this entry, and the counts are not atomic.
    entry = static_cast<LDAPEntry*>(nullptr);
}

void Model::runSearchWorker(const WorkerJob& job)
{
    m_background.resetProgressCount();
    const std::wstring parentKey = storedForm(job.baseDN);
    if (job.session != nullptr && job.kind != WorkerKind::Export) {
        guardedStep(__LINE__, L"Can't get parent entry",
                    [&] { ensureCachedOnWorker(*job.session, parentKey, job.sizeLimit); });
    }
    if (job.kind == WorkerKind::Children) {
        withCachedEntry(parentKey, [](LDAPEntry& parent) {
            parent.setChildrenComplete(false);
            parent.setCutShort(false);
        });
    } else if (job.kind == WorkerKind::Subtree) {
        progressStep();
    }
    // Export: a file of the worker's own, at the LDIF file's width.
    LDAPLdifFile file(job.fileName);
    file.setAsciiOnly(job.asciiOnly);
    const bool exporting = job.kind == WorkerKind::Export;

    if (job.session != nullptr) {
        LdapSearchMessage message;
        MessagePace pace(std::chrono::milliseconds(job.pauseMilliseconds));
        for (;;) {
            int type = job.search->next(kResultWaitMilliseconds, message);
            m_background.setLastResult(type);
            if (type < 0) {
                // error, or the connection is gone
                if (exporting)
                    m_iLdifResult.store(message.resultCode);
                break;
            }
            if (m_background.takeStopRequest()) {
                m_iAbandonResult.store(job.search->abandon());
                break;
            }
            if (type == 0)
                continue;  // nothing yet
            if (job.pauseMilliseconds > 0)
                pace.pause();
            m_background.incrementProgressCount();
            progressStep();
            if (type == LdapSession::MESSAGE_SEARCH_ENTRY) {
                if (!message.hasDn)
                    continue;
                m_background.setCurrentDN(message.dn);
                m_background.setCurrentSubordinates(message.subordinates);
                if (job.kind == WorkerKind::Children) {
                    withCachedEntry(parentKey, [&](LDAPEntry& parent) { parent.addChild(message.dn); });
                    treeEntryFound();
                } else if (job.kind == WorkerKind::Subtree) {
                    searchEntryFound();
                } else if (message.entry.getObject() != nullptr &&
                           writeExportedEntry(file, *message.entry) != 0) {
                    // Reported once; the rest of the search is not wanted.
                    m_iLdifResult.store(-1);
                    m_iAbandonResult.store(job.search->abandon());
                    break;
                }
            } else if (type == LdapSession::MESSAGE_SEARCH_RESULT) {
                if (exporting)
                    m_iLdifResult.store(message.resultCode);
                if (job.kind == WorkerKind::Children) {
                    const int code = message.resultCode;
                    withCachedEntry(parentKey, [code](LDAPEntry& parent) {
                        parent.setChildrenComplete(true);
                        // Time, size or administrative limit exceeded.
                        if (code == 3 || code == 4 || code == 11)
                            parent.setCutShort(true);
                    });
                }
                break;
            }
        }
        if (exporting)
            finishExport(file);
    }
}

// ---- LDIF ------------------------------------------------------------------

int Model::writeExportedEntry(LDAPLdifFile& file, const LDAPEntry& entry)
{
    if (file.appendEntry(entry) == 0)
        return 0;
    util::messageBox(L"Export to ldif file", L"Can't write the file\n" + file.getFileName(),
                     util::BoxIcon::Warning, util::BoxButtons::Ok);
    return -1;
}

void Model::finishExport(const LDAPLdifFile& file)
{
    const int code = m_iLdifResult.load();
    // A file that can't be written was reported as it happened.
    if (code == -1)
        return;
    const int lastType = m_background.getLastResult();
    LdifExportReport::End end = LdifExportReport::End::StoppedByUser;
    if (lastType < 0 || lastType == LdapSession::MESSAGE_SEARCH_RESULT)
        end = code == 0 ? LdifExportReport::End::Complete : LdifExportReport::End::Failed;
    const std::wstring failure = L"LDAPError " + std::to_wstring(code) + L": " + ldapErrorText(code);
    setLdifReport(LdifReport(L"Export to ldif file",
                             LdifExportReport::text(file.getFileName(), file.getWrittenCount(), end, failure,
                                                    file.getSkippedAttributeNames())));
}

void Model::setLdifReport(const LdifReport& report)
{
    std::lock_guard<std::mutex> lock(m_ldifReportMutex);
    m_ldifReport = report;
}

LdifReport Model::getLdifReport() const
{
    std::lock_guard<std::mutex> lock(m_ldifReportMutex);
    return m_ldifReport;
}

int Model::exportLdif(const std::wstring& fileName, bool subtree)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::exportLdif");
    log().write(L"Model::exportLdif %s subtree %d", fileName.c_str(), subtree ? 1 : 0);
    setLdifReport(LdifReport());
    // An empty name would give the file the default name.
    gc_ptr<LDAPEntry> active = m_pActiveEntry;
    if (fileName.empty() || active.getObject() == nullptr || active->getDN().empty())
        return -1;
    LDAPLdifFile file(fileName);
    file.setLineWidth(m_iLdifLineWidth);
    file.setAsciiOnly(m_preferences.ldifAsciiOnly);
    const int result = subtree ? exportSubtreeNow(file, active->getDN()) : writeExportedEntry(file, *active);
    // Names left out of the records are told at the end.
    setLdifReport(LdifReport(L"Export to ldif file",
                             LdifExportReport::text(file.getFileName(), file.getWrittenCount(),
                                                    LdifExportReport::End::Complete, std::wstring(),
                                                    file.getSkippedAttributeNames())));
    return result;
}

int Model::exportSubtreeNow(LDAPLdifFile& file, const std::wstring& base)
{
    return guardedStep(__LINE__, L"Can't search directory", [&] {
        if (!ensureConnected())
            return -1;
        std::vector<gc_ptr<LDAPEntry>> found;
        int code = m_pSession->searchEntries(base, LdapSession::SCOPE_SUBTREE, kDefaultFilter, {L"*"}, false,
                                             m_uSizeLimit, found);
        if (code != 0 && code != -1) {
            reportLdapError(code, L"Search DN Subtree");
            if (code != 4)
                return code;
        }
        if (found.empty())
            return -1;
        for (const gc_ptr<LDAPEntry>& entry : found) {
            // The answer does not matter: the box only tells.
            util::messageBox(L"Entry exported", entry->getDN(), util::BoxIcon::Information,
                             util::BoxButtons::OkCancel);
            if (writeExportedEntry(file, *entry) != 0)
                return -1;
        }
        // -1: an entry without DN ended the walk after the ones written.
        return code == -1 ? -1 : 0;
    });
}

int Model::exportSubtree(const std::wstring& base, const std::wstring& filter,
                         const std::vector<std::wstring>& attributes)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::exportSubtree");
    log().write(L"Model::exportSubtree %s to %s", base.c_str(), m_strLdifFileName.c_str());
    return startBackgroundSearch(WorkerKind::Export, base, LdapSession::SCOPE_SUBTREE, filter, attributes,
                                 true);
}

int Model::importLdif(const std::wstring& fileName)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::importLdif");
    log().write(L"Model::importLdif %s", fileName.c_str());
    if (!claimBackground())
        return 0;
    setLdifReport(LdifReport());
    m_iImportChanges.store(0);
    // The adds would connect on the worker; that happens here instead.
    bool ready = !fileName.empty() && ensureConnected();
    if (ready && isSpecialFile(fileName)) {
        util::messageBox(L"Import ldif file",
                         L"Can't open the file\n" + fileName + L"\nOnly a regular file can be imported.",
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        ready = false;
    }
    m_iLdifResult.store(-1);
    m_background.setFileName(fileName);
    const int pause = m_preferences.resultPauseMilliseconds;
    if (ready)
        launchWorker([this, fileName, pause] { runImportWorker(fileName, pause); });
    else
        launchWorker([] {});
    return ready ? 0 : -1;
}

void Model::runImportWorker(const std::wstring& fileName, int pauseMilliseconds)
{
    if (!isReadableFile(fileName)) {
        util::messageBox(L"Import ldif file", L"Can't open the file\n" + fileName, util::BoxIcon::Warning,
                         util::BoxButtons::Ok);
        return;
    }
    // The reader tests the model's stop request before each line, so a stop
    // ends the import before the next record is added.
    LDAPLdifFile file(fileName);
    file.setEntryPause(pauseMilliseconds);
    m_iLdifResult.store(file.readEntries(*this));
    const LdifImportReport* report = file.getImportReport();
    if (report != nullptr && report->needsAttention())
        setLdifReport(LdifReport(L"Import ldif file", report->summary(fileName)));
}

int Model::stopBackground()
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::stopBackground");
    if (!m_background.hasWorker())
        return 0;
    if (m_background.isRunning())
        m_background.requestStop();
    stopWorker();
    return m_iAbandonResult.load();
}

void Model::waitBackground()
{
    m_background.joinWorker();
    m_background.clearStopRequest();
    releaseRetiredObservers();
    forgetChangedEntries();
    announceLostConnection();
}

void Model::stopWorker()
{
    if (m_background.hasWorker()) {
        m_background.requestStop();
        // Every wait of the worker watches the stop request; one that does
        // not end in time is woken by shutting the socket down.
        if (!m_background.joinWorkerFor(kStopWait)) {
            log().write(L"Model::stopWorker: the worker did not stop in time, closing the connection");
            if (m_pSession != nullptr)
                m_pSession->interrupt();
            m_background.joinWorker();
        }
    }
    m_background.clearStopRequest();
    releaseRetiredObservers();
    forgetChangedEntries();
    announceLostConnection();
}

// ---- modifications -----------------------------------------------------------

int Model::syn_addEntry(const gc_ptr<LDAPEntry>& entry)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::syn_addEntry");
    setLastAddResult(-1, L"");
    if (entry.getObject() == nullptr)
        return -1;
    if (!ensureConnected()) {
        const int code = isConnectionLost() ? m_pSession->getLostCode() : m_iLastConnectResult.load();
        if (code > 0)
            setLastAddResult(code, L"LDAPError " + std::to_wstring(code) + L": " + ldapErrorText(code));
        return -1;
    }
    LdapModList modifications;
    for (const gc_ptr<LDAPAttribute>& attribute : entry->getUserAttributes()) {
        if (attribute.getObject() == nullptr)
            return -1;
        if (modifications.addRecord(LdapModOperation::Add, attribute->getName(), attribute->getValues()) != 0)
            return -1;
    }
    int code = m_pSession->addEntry(entry->getDN(), modifications);
    if (code != 0) {
        setLastAddResult(code, L"LDAPError " + std::to_wstring(code) + L": " + ldapErrorText(code));
        reportLdapError(code, ldapErrorText(code));
        return -1;
    }
    setLastAddResult(0, L"");
    return 0;
}

void Model::setLastAddResult(int code, const std::wstring& error)
{
    std::lock_guard<std::mutex> lock(m_lastAddMutex);
    m_strLastAddError = error;
    m_iLastAddResult.store(code);
}

std::wstring Model::getLastAddError() const
{
    std::lock_guard<std::mutex> lock(m_lastAddMutex);
    return m_strLastAddError;
}

int Model::modifyOne(const std::wstring& dn, LdapModOperation operation,
                     const std::wstring& attributeName,
                     const std::vector<gc_ptr<LDAPAttributeValue>>& values, const wchar_t* context)
{
    LdapModList modifications;
    if (modifications.addRecord(operation, attributeName, values) != 0)
        return -1;
    int code = m_pSession->modifyEntry(dn, modifications);
    if (code != 0)
        reportLdapError(code, context);
    return code;
}

int Model::syn_addAttributeValue(const std::wstring& dn, const gc_ptr<LDAPAttributeValue>& value,
                                 const std::wstring& attributeName)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::syn_addAttributeValue");
    if (value.getObject() == nullptr || !entryExists(dn))
        return -1;
    return modifyOne(dn, LdapModOperation::Add, attributeName, {value}, L"Add Attribute Value");
}

int Model::syn_replaceSingleAttributeValue(const std::wstring& dn, const gc_ptr<LDAPAttributeValue>& value,
                                           const std::wstring& attributeName)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::syn_replaceSingleAttributeValue");
    if (value.getObject() == nullptr || !entryExists(dn))
        return -1;
    return modifyOne(dn, LdapModOperation::Replace, attributeName, {value}, L"Add Attribute Value");
}

int Model::syn_deleteAttributeValue(const std::wstring& dn, int index, const std::wstring& attributeName)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::syn_deleteAttributeValue");
    if (index < 0)
        return -1;
    gc_ptr<LDAPEntry> entry = getEntry(dn);
    if (entry.getObject() == nullptr)
        return -1;
    gc_ptr<LDAPAttribute> attribute = entry->getAttribute(attributeName);
    if (attribute.getObject() == nullptr || index >= attribute->getValueCount())
        return -1;
    gc_ptr<LDAPAttributeValue> value = attribute->getValue(index);
    if (value.getObject() == nullptr)
        return -1;
    return modifyOne(dn, LdapModOperation::Delete, attributeName, {value}, L"Modify Entry");
}

int Model::sys_deleteAttribute(const std::wstring& dn, const std::wstring& attributeName)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::sys_deleteAttribute");
    if (!entryExists(dn))
        return -1;
    return modifyOne(dn, LdapModOperation::Delete, attributeName, {}, L"Modify Entry");
}

int Model::modifyAttributeValue(const std::wstring& dn, const std::wstring& attributeName,
                                const gc_ptr<LDAPAttributeValue>& newValue, int index)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::modifyAttributeValue");
    gc_ptr<LDAPEntry> entry = getEntry(dn);
    if (entry.getObject() == nullptr)
        return -1;
    gc_ptr<LDAPAttribute> attribute = entry->getAttribute(attributeName);
    if (attribute.getObject() == nullptr)
        return -1;
    const int count = attribute->getValueCount();
    if (count == 1)
        return syn_replaceSingleAttributeValue(dn, newValue, attributeName);
    // Checked before the add, so a bad index never leaves the new value
    // beside the old one.
    if (count == 0 || index < 0 || index >= count)
        return -1;
    int code = syn_addAttributeValue(dn, newValue, attributeName);
    if (code != 0) {
        reportLdapError(code, L"Modify Attribute Value");
        return -1;
    }
    code = syn_deleteAttributeValue(dn, index, attributeName);
    if (code != 0) {
        reportLdapError(code, L"Modify Attribute Value");
        return -1;
    }
    return 0;
}

int Model::renameEntry(const std::wstring& dn, const std::wstring& newRDN)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::renameEntry");
    if (!ensureConnected())
        return -1;
    int code = m_pSession->renameEntry(dn, newRDN, true);
    if (code != 0)
        reportLdapError(code, L"Rename Entry");
    return code;
}

int Model::removeEntry(const std::wstring& dn)
{
    return removeEntry(dn, true);
}

int Model::removeEntry(const std::wstring& dn, bool reportNotLeaf)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::removeEntry");
    return guardedStep(__LINE__, L"Cannot remove entry", [&] {
        if (!ensureConnected())
            return -1;
        // The parent of the entry being deleted (the active entry's parent
        // whenever the active entry is the one deleted). Only a cached parent
        // has a child list to update, so it is not read from the server.
        const std::wstring parentDN = parentOf(dn);
        int code = m_pSession->deleteEntry(dn);
        if (code != 0) {
            if (reportNotLeaf || code != resultcode::NotAllowedOnNonLeaf)
                reportLdapError(code, L"Remove Entry");
            return code;
        }
        std::printf("%s entry deleted successfully.\n", util::toUtf8(dn).c_str());
        std::fflush(stdout);
        forgetEntry(dn);
        withCachedEntry(parentDN, [&](LDAPEntry& parent) { parent.removeChild(dn); });
        return 0;
    });
}

// ---- restructuring ------------------------------------------------------------

void Model::forgetSubtree(const std::wstring& dn)
{
    {
        std::lock_guard<std::mutex> lock(m_changesMutex);
        m_changedDNs.push_back(dn);
    }
    forgetChangedEntries();
}

void Model::forgetChangedEntries()
{
    std::vector<std::wstring> changed;
    {
        std::lock_guard<std::mutex> lock(m_changesMutex);
        changed.swap(m_changedDNs);
    }
    if (changed.empty())
        return;
    // Each cached DN is looked up by its own ancestors: the work grows with
    // the cache, not with the cache times the entries changed.
    std::unordered_set<std::wstring> gone;
    for (const std::wstring& dn : changed)
        gone.insert(DistinguishedName::join(comparableRdns(dn)));
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    for (auto it = m_cache.begin(); it != m_cache.end();) {
        const std::vector<std::wstring> rdns = comparableRdns(it->first);
        bool within = false;
        std::wstring suffix;
        for (auto rdn = rdns.rbegin(); rdn != rdns.rend() && !within; ++rdn) {
            suffix = suffix.empty() ? *rdn : *rdn + L"," + suffix;
            within = gone.count(suffix) != 0;
        }
        it = within ? m_cache.erase(it) : std::next(it);
    }
    for (const std::wstring& dn : changed) {
        auto parent = m_cache.find(storedForm(parentOf(dn)));
        if (parent != m_cache.end() && parent->second.getObject() != nullptr)
            parent->second->removeChild(dn);
    }
}

int Model::moveEntry(const std::wstring& dn, const std::wstring& newParentDN, std::wstring& newDN)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::moveEntry");
    log().write(L"Model::moveEntry %s under %s", dn.c_str(), newParentDN.c_str());
    newDN.clear();
    if (!ensureConnected())
        return -1;
    const std::wstring rdn = DistinguishedName::rdn(dn);
    if (rdn.empty())
        return -1;
    const int code = m_pSession->moveEntry(dn, rdn, newParentDN, true);
    if (code != 0) {
        reportLdapError(code, L"Move Entry");
        return code;
    }
    newDN = newParentDN.empty() ? rdn : rdn + L"," + newParentDN;
    const std::wstring active = getActiveEntryDN();
    if (!active.empty() && DistinguishedName::isWithin(active, dn))
        m_pActiveEntry = new LDAPEntry();
    forgetSubtree(dn);
    withCachedEntry(storedForm(newParentDN), [&newDN](LDAPEntry& parent) {
        if (parent.isChildrenComplete())
            parent.addChild(newDN);
    });
    return 0;
}

int Model::listChildren(const std::wstring& dn, unsigned int sizeLimit, std::vector<std::wstring>& children)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::listChildren");
    if (!ensureConnected())
        return -1;
    std::vector<gc_ptr<LDAPEntry>> found;
    const int code =
        m_pSession->searchEntries(dn, LdapSession::SCOPE_ONELEVEL, kDefaultFilter, {L"1.1"}, true, sizeLimit, found);
    for (const gc_ptr<LDAPEntry>& entry : found)
        children.push_back(entry->getDN());
    if (code != 0 && !(code == resultcode::SizeLimitExceeded && sizeLimit != 0))
        reportLdapError(code, L"Read Children");
    return code;
}

int Model::countSubtree(const std::wstring& dn, int& below)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::countSubtree");
    below = 0;
    if (!ensureConnected())
        return -1;
    const int code = SubtreeDelete::countBelow(*m_pSession, dn, subtreePageSize(), below);
    if (code != 0 && code != resultcode::SizeLimitExceeded)
        reportLdapError(code, L"Count Entries");
    return code;
}

bool Model::supportsSubtreeDelete()
{
    DIRLOOK_GUARD(L"Model");
    if (!ensureConnected())
        return false;
    std::vector<gc_ptr<LDAPAttribute>> attributes;
    if (m_pSession->readAttributes(L"", {L"supportedControl"}, 0, attributes) != 0)
        return false;
    for (const gc_ptr<LDAPAttribute>& attribute : attributes) {
        for (const gc_ptr<LDAPAttributeValue>& value : attribute->getValues()) {
            if (value.getObject() != nullptr && value->toString() == LdapSession::SUBTREE_DELETE_CONTROL)
                return true;
        }
    }
    return false;
}

int Model::removeSubtree(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::removeSubtree");
    if (!ensureConnected())
        return -1;
    const int code = m_pSession->deleteSubtree(dn);
    if (code != 0) {
        reportLdapError(code, L"Remove Entry");
        return code;
    }
    std::printf("%s entry deleted successfully.\n", util::toUtf8(dn).c_str());
    std::fflush(stdout);
    forgetSubtree(dn);
    return 0;
}

int Model::startSubtreeWalk(const std::function<SubtreeOutcome(LdapSession&, const SubtreeHooks&)>& walk,
                            bool forgetDone)
{
    if (!claimBackground())
        return 0;
    {
        std::lock_guard<std::mutex> lock(m_changesMutex);
        m_subtreeOutcome = SubtreeOutcome();
    }
    if (!ensureConnected()) {
        std::lock_guard<std::mutex> lock(m_changesMutex);
        m_subtreeOutcome.end = SubtreeOutcome::End::Failed;
        m_subtreeOutcome.code = -1;
        launchWorker([] {});
        return -1;
    }
    LdapSession* session = m_pSession.get();
    const int pause = m_preferences.resultPauseMilliseconds;
    const unsigned int pageSize = subtreePageSize();
    launchWorker([this, session, pause, pageSize, walk, forgetDone] {
        m_background.resetProgressCount();
        SubtreeHooks hooks;
        hooks.stopRequested = [this] { return m_background.isStopRequested(); };
        hooks.done = [this, forgetDone](const std::wstring& dn) {
            if (forgetDone) {
                std::lock_guard<std::mutex> lock(m_changesMutex);
                m_changedDNs.push_back(dn);
            }
            m_background.setCurrentDN(dn);
            m_background.incrementProgressCount();
            progressStep();
        };
        hooks.pauseMilliseconds = pause;
        hooks.pageSize = pageSize;
        SubtreeOutcome outcome = walk(*session, hooks);
        std::lock_guard<std::mutex> lock(m_changesMutex);
        m_subtreeOutcome = std::move(outcome);
    });
    return 0;
}

int Model::deleteSubtree(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::deleteSubtree");
    log().write(L"Model::deleteSubtree %s", dn.c_str());
    return startSubtreeWalk(
        [dn](LdapSession& session, const SubtreeHooks& hooks) { return SubtreeDelete(session, dn, hooks).run(); },
        true);
}

int Model::copySubtree(const std::wstring& sourceDN, const std::wstring& parentDN)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::copySubtree");
    log().write(L"Model::copySubtree %s under %s", sourceDN.c_str(), parentDN.c_str());
    return startSubtreeWalk(
        [sourceDN, parentDN](LdapSession& session, const SubtreeHooks& hooks) {
            return SubtreeCopy(session, sourceDN, parentDN, true, hooks).run();
        },
        false);
}

int Model::copyEntry(const std::wstring& sourceDN, const std::wstring& parentDN, std::wstring& newDN)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::copyEntry");
    newDN.clear();
    if (!ensureConnected())
        return -1;
    const SubtreeOutcome outcome = SubtreeCopy(*m_pSession, sourceDN, parentDN, false, SubtreeHooks()).run();
    if (outcome.end == SubtreeOutcome::End::Failed) {
        setLastDiagnostic(outcome.code, outcome.diagnostic);
        reportLdapError(outcome.code, L"Paste Entry");
        return outcome.code;
    }
    newDN = SubtreeCopy::copyDN(sourceDN, parentDN);
    return 0;
}

SubtreeOutcome Model::takeSubtreeOutcome()
{
    std::lock_guard<std::mutex> lock(m_changesMutex);
    SubtreeOutcome outcome = std::move(m_subtreeOutcome);
    m_subtreeOutcome = SubtreeOutcome();
    return outcome;
}

int Model::applyLdifChange(const LdifChangeRecord& change)
{
    DIRLOOK_GUARD(L"Model");
    util::TraceScope trace(L"Model::applyLdifChange");
    if (change.getType() == LdifChangeRecord::Type::Add)
        return syn_addEntry(change.getEntry()) == 0 ? 0 : getLastAddResult();
    setLastAddResult(-1, L"");
    if (!ensureConnected()) {
        const int code = isConnectionLost() ? m_pSession->getLostCode() : m_iLastConnectResult.load();
        if (code > 0)
            setLastAddResult(code, refusalText(code));
        return -1;
    }
    int code = -1;
    switch (change.getType()) {
    case LdifChangeRecord::Type::Delete:
        code = m_pSession->deleteEntry(change.getDN());
        break;
    case LdifChangeRecord::Type::Modify: {
        LdapModList modifications;
        for (const LdifChangeRecord::Modification& modification : change.getModifications()) {
            if (modifications.addRecord(modOperation(modification.operation), modification.attribute,
                                        modification.values) != 0)
                return -1;
        }
        code = m_pSession->modifyEntry(change.getDN(), modifications);
        break;
    }
    case LdifChangeRecord::Type::ModDn:
        code = m_pSession->moveEntry(change.getDN(), change.getNewRdn(),
                                     change.hasNewSuperior() ? std::optional<std::wstring>(change.getNewSuperior())
                                                             : std::nullopt,
                                     change.getDeleteOldRdn());
        break;
    case LdifChangeRecord::Type::Add:
        break;
    }
    if (code != 0) {
        setLastAddResult(code, code > 0 ? refusalText(code) : std::wstring());
        return code;
    }
    setLastAddResult(0, L"");
    m_iImportChanges.fetch_add(1);
    std::lock_guard<std::mutex> lock(m_changesMutex);
    m_changedDNs.push_back(change.getDN());
    return 0;
}

} // namespace ldapmodel
