#include "session/LdapPagedSearch.h"

#include "session/LdapSearchMessage.h"
#include "session/LdapSession.h"

#include <ldap.h>

#include <algorithm>
#include <utility>

namespace ldapmodel {

const wchar_t* const LdapPagedSearch::CONTROL_OID = L"1.2.840.113556.1.4.319";

bool LdapPagedSearch::refusesPaging(int code)
{
    return code == LDAP_ADMINLIMIT_EXCEEDED || code == LDAP_UNAVAILABLE_CRITICAL_EXTENSION ||
           code == LDAP_UNWILLING_TO_PERFORM;
}

LdapPagedSearch::LdapPagedSearch(LdapSession& session, Request request)
    : m_session(session), m_request(std::move(request))
{
}

int LdapPagedSearch::start()
{
    m_started = std::chrono::steady_clock::now();
    m_bPaged = m_request.pageSize > 0;
    unsigned int size = m_request.pageSize;
    if (m_bPaged && m_request.sizeLimit > 0)
        size = std::min(size, m_request.sizeLimit);
    return send(m_bPaged, size);
}

int LdapPagedSearch::send(bool paged, unsigned int size)
{
    int id = 0;
    // A paged search leaves the limit to the pages asked for: the server
    // counts a request's limit over all pages or ignores the control when
    // the page is as large as the limit.
    const int code = paged ? m_session.searchPageAsync(m_request.base, m_request.scope, m_request.filter,
                                                       m_request.attributes, m_request.attrsOnly, 0, size,
                                                       m_cookie, id)
                           : m_session.searchAsync(m_request.base, m_request.scope, m_request.filter,
                                                   m_request.attributes, m_request.attrsOnly, m_request.sizeLimit,
                                                   id);
    ++m_iRequests;
    m_bPaged = paged;
    m_iMessageId = code == 0 ? id : 0;
    if (code != 0)
        m_state = State::Done;
    return code;
}

int LdapPagedSearch::next(int waitMilliseconds, LdapSearchMessage& message)
{
    if (m_state == State::Done || m_iMessageId == 0) {
        message = LdapSearchMessage();
        message.resultCode = -1;
        return -1;
    }
    const int type = m_session.nextResult(m_iMessageId, m_request.withValues, waitMilliseconds, message,
                                          m_request.readSubordinates);
    if (type == LdapSession::MESSAGE_SEARCH_ENTRY) {
        if (m_request.sizeLimit > 0 && m_uEntries >= m_request.sizeLimit) {
            // More than was asked for: the server did not keep to the page size.
            abandon();
            return finish(message, LDAP_SIZELIMIT_EXCEEDED);
        }
        ++m_uEntries;
        return type;
    }
    if (type < 0)
        m_state = State::Done;
    if (type != LdapSession::MESSAGE_SEARCH_RESULT)
        return type;
    if (m_state == State::Closing)
        return finish(message, m_iClosingCode);
    return pageEnded(message);
}

int LdapPagedSearch::limitReached() const
{
    if (m_request.sizeLimit > 0 && m_uEntries >= m_request.sizeLimit)
        return LDAP_SIZELIMIT_EXCEEDED;
    if (m_request.timeLimitSeconds > 0 &&
        std::chrono::steady_clock::now() - m_started >= std::chrono::seconds(m_request.timeLimitSeconds))
        return LDAP_TIMELIMIT_EXCEEDED;
    return LDAP_SUCCESS;
}

int LdapPagedSearch::pageEnded(LdapSearchMessage& message)
{
    int code = 0;
    if (m_bPaged && m_iRequests == 1 && m_uEntries == 0 && refusesPaging(message.resultCode)) {
        // Listed, but not for this search: read it in one request.
        code = send(false, 0);
    } else if (!m_bPaged || message.resultCode != LDAP_SUCCESS || !message.paged || message.cookie.empty()) {
        m_state = State::Done;
        m_iMessageId = 0;
        return LdapSession::MESSAGE_SEARCH_RESULT;
    } else {
        m_cookie = message.cookie;
        m_iClosingCode = limitReached();
        if (m_iClosingCode != LDAP_SUCCESS) {
            // The caller's limit is reached and the server has more: a page
            // of none ends the paged search on the server.
            m_state = State::Closing;
            code = send(true, 0);
        } else {
            unsigned int size = m_request.pageSize;
            if (m_request.sizeLimit > 0)
                size = std::min(size, m_request.sizeLimit - m_uEntries);
            code = send(true, size);
        }
    }
    message = LdapSearchMessage();
    if (code == 0)
        return 0;
    message.resultCode = code;
    return -1;
}

int LdapPagedSearch::finish(LdapSearchMessage& message, int code)
{
    message = LdapSearchMessage();
    message.type = LdapSession::MESSAGE_SEARCH_RESULT;
    message.resultCode = code;
    m_state = State::Done;
    m_iMessageId = 0;
    return LdapSession::MESSAGE_SEARCH_RESULT;
}

int LdapPagedSearch::abandon()
{
    const int id = m_iMessageId;
    m_state = State::Done;
    m_iMessageId = 0;
    return id != 0 ? m_session.abandon(id) : 0;
}

} // namespace ldapmodel
