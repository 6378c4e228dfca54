#pragma once

#include "ldif/LdifErrorFile.h"

#include <map>
#include <string>
#include <utility>

namespace ldapmodel {

// What one import did, record by record, and the summary the user is given
// at its end. A refused record, whatever refused it (the server, or a record
// that can't be sent as it is), goes through refuse(): it is kept in the
// error file after a comment with its DN and reason, and counted under its
// reason. A record that can't be read at all ends the import (stopAt).
class LdifImportReport {
public:
    // errorFileName: the error file's preferred name (see LdifErrorFile).
    explicit LdifImportReport(const std::wstring& errorFileName);

    void countAdded() { ++m_iAdded; }
    // A change record other than add was applied.
    void countChanged() { ++m_iChanged; }
    // code: the LDAP result code, or 0 when the record was not sent;
    // reason: the text shown for it ("LDAPError 68: Already exists").
    void refuse(const std::wstring& dn, const std::string& linesAsRead, int code, const std::wstring& reason);
    // The record that ended the import because it can't be read; kept in the
    // error file like a refused one.
    void stopAt(const std::wstring& dn, const std::string& linesAsRead);
    // The user stopped the import before the end of the file.
    void setStopped() { m_bStopped = true; }

    int getAddedCount() const { return m_iAdded; }
    int getChangedCount() const { return m_iChanged; }
    int getRefusedCount() const { return m_iRefused; }
    bool isStoppedAtUnreadable() const { return m_bUnreadable; }
    bool isStopped() const { return m_bStopped; }
    // Records meant for the error file that are not in it.
    int getLostCount() const { return m_errorFile.getLostCount(); }
    const LdifErrorFile& getErrorFile() const { return m_errorFile; }
    // Refused records per (code, reason), in code order.
    const std::map<std::pair<int, std::wstring>, int>& getRefusals() const { return m_refusals; }

    // Something went wrong that the user has to hear about: a refusal, a
    // record that can't be read, a record lost.
    bool needsAttention() const { return m_iRefused > 0 || m_bUnreadable || getLostCount() > 0; }
    // The summary of the import of fileName: added (and, when change
    // records were applied, changed) and refused counts, the
    // refusals by reason, where the refused records are, what was lost, why
    // the import ended early.
    std::wstring summary(const std::wstring& fileName) const;

private:
    LdifErrorFile m_errorFile;
    int m_iAdded = 0;
    int m_iChanged = 0;
    int m_iRefused = 0;
    bool m_bUnreadable = false;
    std::wstring m_strUnreadableDN;
    bool m_bStopped = false;
    std::map<std::pair<int, std::wstring>, int> m_refusals;
};

} // namespace ldapmodel
