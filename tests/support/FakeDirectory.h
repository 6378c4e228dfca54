#pragma once

// A minimal LDAP server on 127.0.0.1 for what slapd cannot be made to send
// (hostile names, malformed schema, a connection cut in the middle of a
// search). It serves one connection at a time: binds succeed; a base search
// gets the entry stored for its base DN (or "no such object"); a one-level
// or subtree search gets every stored entry at or below its base, in DN
// order, then the result code set (0 unless changed). A delete removes the
// entry, or with the subtree delete control the entry and everything below
// it; without the control an entry with entries below it is refused with 66.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace dirtest {

class FakeDirectory {
public:
    using Attributes = std::vector<std::pair<std::string, std::vector<std::string>>>;

    FakeDirectory();
    ~FakeDirectory();
    FakeDirectory(const FakeDirectory&) = delete;
    FakeDirectory& operator=(const FakeDirectory&) = delete;

    int port() const { return m_port; }
    void setEntry(const std::string& dn, const Attributes& attributes);
    // The base DNs of the searches received, in order.
    std::vector<std::string> searchBases() const;
    // The result code that ends a one-level or subtree search.
    void setSearchResultCode(int code);
    // A one-level or subtree search that has sent this many entries closes
    // the connection instead of going on (-1: never).
    void setDropAfterEntries(int count);
    // The deletes received: DN, and whether it carried the subtree delete
    // control; in order.
    std::vector<std::pair<std::string, bool>> deletes() const;
    bool hasEntry(const std::string& dn) const;

private:
    void run();
    void serve(int fd);
    std::string searchReply(int id, const std::string& base, int scope, bool& drop);
    std::string deleteReply(int id, const std::string& dn, bool subtree);

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::map<std::string, Attributes> m_entries;
    std::vector<std::string> m_bases;
    std::vector<std::pair<std::string, bool>> m_deletes;
    int m_iSearchResultCode = 0;
    int m_iDropAfterEntries = -1;
};

} // namespace dirtest
