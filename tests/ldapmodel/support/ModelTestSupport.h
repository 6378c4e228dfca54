#pragma once

// Helpers shared by the Model server tests.

#include "model/Model.h"
#include "model/ModelObserver.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace modeltest {

inline std::wstring wide(const char* utf8) { return util::fromUtf8(utf8); }
inline std::wstring wide(const std::string& utf8) { return util::fromUtf8(utf8); }

// Records everything the model tells it; safe to call from the worker.
class RecordingObserver : public ldapmodel::ModelObserver {
public:
    void updateFromModel(int kind) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_kinds.push_back(kind);
    }
    void entryFound() override
    {
        // Model::instance(): no share of the model is taken off the
        // user-interface thread.
        std::wstring dn = ldapmodel::Model::instance().getCurrentDN();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_found.push_back(dn);
        m_callbackThreads.push_back(std::this_thread::get_id());
    }
    void finished() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_iFinished;
        m_finishedCountAtEnd = ldapmodel::Model::instance().getProgressCount();
        m_callbackThreads.push_back(std::this_thread::get_id());
        m_changed.notify_all();
    }
    bool step() override
    {
        int count = ldapmodel::Model::instance().getProgressCount();
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_iSteps;
        m_stepCounts.push_back(count);
        m_changed.notify_all();
        return true;
    }

    std::vector<int> kinds() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_kinds;
    }
    std::vector<std::wstring> found() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_found;
    }
    int finishedCount() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_iFinished;
    }
    int steps() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_iSteps;
    }
    std::vector<int> stepCounts() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stepCounts;
    }
    int progressAtFinish() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_finishedCountAtEnd;
    }
    std::vector<std::thread::id> callbackThreads() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_callbackThreads;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_kinds.clear();
        m_found.clear();
        m_iFinished = 0;
        m_iSteps = 0;
        m_stepCounts.clear();
        m_finishedCountAtEnd = -1;
        m_callbackThreads.clear();
    }
    // Waits until finished has been called count times.
    bool waitFinished(int count = 1, std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_iFinished >= count; });
    }
    // Waits until step has been called at least count times.
    bool waitSteps(int count, std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_iSteps >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_kinds;
    std::vector<std::wstring> m_found;
    int m_iFinished = 0;
    int m_iSteps = 0;
    std::vector<int> m_stepCounts;
    int m_finishedCountAtEnd = -1;
    std::vector<std::thread::id> m_callbackThreads;
};

// Asks the model to stop, as the progress window's button does, when the
// progress count reaches a given value.
class StoppingObserver : public RecordingObserver {
public:
    explicit StoppingObserver(int stopAt) : m_iStopAt(stopAt) {}
    bool step() override
    {
        const bool goOn = RecordingObserver::step();
        if (ldapmodel::Model::instance().getProgressCount() == m_iStopAt)
            ldapmodel::Model::instance().requestStop();
        return goOn;
    }

private:
    const int m_iStopAt;
};

// The one observer of the model's list for this test program (observers
// cannot be removed, and only the first one is told).
inline memorylib::gc_ptr<RecordingObserver>& mainObserver()
{
    static memorylib::gc_ptr<RecordingObserver> observer = [] {
        memorylib::gc_ptr<RecordingObserver> created = new RecordingObserver();
        ldapmodel::Model::getInstance()->addObserver(created);
        return created;
    }();
    return observer;
}

// Puts the model's connection fields on the shared test server, as admin.
inline void pointAtServer(ldapmodel::Model& model, const dirtest::TestDirectoryServer& server,
                          const std::wstring& baseDN = wide(dirtest::sample::kBaseDn))
{
    model.setHost(wide(server.host()));
    model.setPort(server.port());
    model.setBaseDN(baseDN);
    model.setFilter(L"objectclass=*");
    model.setBindDN(wide(dirtest::TestDirectoryServer::adminDn()));
    model.setPassword(wide(dirtest::TestDirectoryServer::adminPassword()));
}

// Values of one attribute of an entry, read through a second connection.
inline std::vector<std::string> serverValues(const std::string& dn, const std::string& attribute)
{
    std::string ldif = dirtest::TestDirectoryServer::shared().entryLdif(dn, {attribute});
    return dirtest::TestDirectoryServer::ldifValues(ldif, attribute);
}

// DNs under base, scope "one" or "sub", in the server's order, through a
// second connection.
inline std::vector<std::wstring> serverDns(const dirtest::TestDirectoryServer& server,
                                           const std::string& base, const char* scope = "sub")
{
    std::string output;
    EXPECT_TRUE(server.runLdapsearch({"-D", dirtest::TestDirectoryServer::adminDn(), "-w",
                                      dirtest::TestDirectoryServer::adminPassword(), "-b", base,
                                      "-s", scope, "(objectclass=*)", "1.1"},
                                     output))
        << output;
    std::vector<std::wstring> dns;
    for (const std::string& dn : dirtest::TestDirectoryServer::ldifDns(output))
        dns.push_back(wide(dn));
    return dns;
}

// The whole directory under the base as unfolded ldapsearch records (user
// attributes), keyed by their DN line.
inline std::map<std::string, std::string> directoryOf(const dirtest::TestDirectoryServer& server)
{
    std::string output;
    EXPECT_TRUE(server.runLdapsearch({"-D", dirtest::TestDirectoryServer::adminDn(), "-w",
                                      dirtest::TestDirectoryServer::adminPassword(), "-b",
                                      dirtest::TestDirectoryServer::baseDn(), "(objectClass=*)"},
                                     output))
        << output;
    std::map<std::string, std::string> records;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find("\n\n", start);
        if (end == std::string::npos)
            end = output.size();
        std::string record = output.substr(start, end - start);
        if (!record.empty())
            records[record.substr(0, record.find('\n'))] = record;
        start = end + 2;
    }
    return records;
}

} // namespace modeltest
