#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace ldapmodel {

class LdapSession;
struct LdapSearchMessage;

// One asynchronous search, read page by page with the simple paged results
// control (RFC 2696) when a page size is given, else in one request. The
// caller takes the messages one at a time as from LdapSession::nextResult
// and sees one stream of entries and one final result: the next page is
// asked for here when a page ends. The server's limit per search then no
// longer cuts the read short; the caller's size limit still caps the entries
// over all pages: a read that reaches it while the server has more closes the
// paged search on the server and ends with 4 (size limit exceeded); so does
// a time limit, checked when a page ends, with 3 (time limit exceeded).
//
// Threads: start on one thread, then next and abandon on one thread (the
// background worker); the session is not shared meanwhile.
class LdapPagedSearch {
public:
    // The control's object identifier, as the root DSE lists it in
    // supportedControl.
    static const wchar_t* const CONTROL_OID;
    // A server that lists the control may still refuse it for this user or
    // this search: the first page's result code then says so.
    static bool refusesPaging(int code);

    struct Request {
        std::wstring base;
        int scope = 0;
        std::wstring filter;
        std::vector<std::wstring> attributes;
        bool attrsOnly = false;
        // Entries come with their user attributes.
        bool withValues = false;
        // Entries say what their hasSubordinates says.
        bool readSubordinates = false;
        // Entries over all pages; 0 = no limit of the caller's.
        unsigned int sizeLimit = 0;
        // Seconds over all pages (each request also carries the session's
        // time limit); 0 = none.
        unsigned int timeLimitSeconds = 0;
        // Entries per page; 0 = one request without the control.
        unsigned int pageSize = 0;
    };

    LdapPagedSearch(LdapSession& session, Request request);
    LdapPagedSearch(const LdapPagedSearch&) = delete;
    LdapPagedSearch& operator=(const LdapPagedSearch&) = delete;

    // Sends the first request. The ldap_search_ext code.
    int start();
    // As LdapSession::nextResult: the message type, 0 when nothing came in
    // time (also right after a page ended and the next was asked for), -1
    // when the search ended through an error. The end of a page that is not
    // the last is no message of its own.
    int next(int waitMilliseconds, LdapSearchMessage& message);
    // Abandons the request under way (ldap_abandon_ext); its code, 0 when
    // none is under way.
    int abandon();

    // The request under way, 0 when there is none.
    int getMessageId() const { return m_iMessageId; }
    // Requests sent so far, the closing one included.
    int getRequestCount() const { return m_iRequests; }
    // Entries received so far.
    unsigned int getEntryCount() const { return m_uEntries; }

private:
    enum class State { Reading, Closing, Done };

    // Sends the next request: a page of size entries (with the control), or
    // the whole search without it.
    int send(bool paged, unsigned int size);
    // The caller's limit the read has reached (4 or 3), 0 when none.
    int limitReached() const;
    // The final result the caller sees: type 0x65 with code.
    int finish(LdapSearchMessage& message, int code);
    // After the end of one page: the next page, the closing request or the
    // end. What next returns.
    int pageEnded(LdapSearchMessage& message);

    LdapSession& m_session;
    Request m_request;
    State m_state = State::Reading;
    bool m_bPaged = false;  // the request under way carries the control
    std::string m_cookie;
    int m_iClosingCode = 0;  // what the read ends with once the paged search is closed
    std::chrono::steady_clock::time_point m_started;
    int m_iMessageId = 0;
    int m_iRequests = 0;
    unsigned int m_uEntries = 0;
};

} // namespace ldapmodel
