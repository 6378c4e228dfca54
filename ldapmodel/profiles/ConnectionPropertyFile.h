#pragma once

#include "handles/RefCount.h"

#include <cstdint>
#include <string>

namespace ldapmodel {

// One connection profile and its file of nine "Key<tabs>value" lines.
// The file holds one byte per character (codes 0 to 255) and CR LF line ends.
// Settings beyond the nine follow as extra lines of the same form, each
// written only when it differs from the default, so that a profile that
// uses none of them keeps its nine lines: "Security" (ldaps or starttls)
// and "CACertificate" (a CA file's path). Extra lines load in any order;
// unknown ones are skipped.
class ConnectionPropertyFile : public memorylib::RefCount {
public:
    // How the connection is protected ("Security" line).
    enum class Security {
        None,      // no line
        Ldaps,     // "ldaps"
        StartTls,  // "starttls"
        Unknown    // another value, kept as it was read (getSecurityText)
    };

    // fileName: full or working-directory-relative path of the profile file.
    explicit ConnectionPropertyFile(const std::wstring& fileName);
    ~ConnectionPropertyFile() override;

    // 0: all nine fields read; 1: the contents stopped matching the format
    // (fields read so far keep their new values); -1: can't open the file.
    // Text values and the password are the rest of their line, leading tabs
    // and spaces dropped; port and flag are one word each. The extra lines
    // after them are read when there (they don't change the result).
    int load();
    // 0 after writing; -1 when the file can't be written (getSaveError says
    // why; any existing file stays as it was). The profile is written to a
    // new owner-only file (0600) in the same directory, which then replaces
    // the file at the path: a symbolic link there is replaced, never
    // followed, and anything else that is not a regular file is refused. A
    // character above 255 is written as "?" (canHold tells beforehand).
    int save();
    // Why the last save failed; empty after a good one.
    const std::wstring& getSaveError() const { return m_strSaveError; }

    std::wstring getName() const { return m_strName; }
    std::wstring getHostName() const { return m_strHostName; }
    std::int32_t getPortNumber() const { return m_iPortNumber; }
    std::wstring getUserDn() const { return m_strUserDn; }
    std::wstring getUserPassword() const { return m_strUserPassword; }
    std::wstring getBaseDn() const { return m_strBaseDn; }
    bool getAnonymous() const { return m_bAnonymous; }
    std::wstring getFilter() const { return m_strFilter; }
    std::wstring getServerName() const { return m_strServerName; }
    std::wstring getFileName() const { return m_strFileName; }
    Security getSecurity() const { return m_security; }
    // The Security line's value as read or set; empty for None.
    const std::wstring& getSecurityText() const { return m_strSecurity; }
    std::wstring getCaCertificate() const { return m_strCaCertificate; }

    void setName(const std::wstring& value) { m_strName = value; }
    void setHostName(const std::wstring& value) { m_strHostName = value; }
    void setPortNumber(std::int32_t value) { m_iPortNumber = value; }
    void setUserDn(const std::wstring& value) { m_strUserDn = value; }
    void setUserPassword(const std::wstring& value) { m_strUserPassword = value; }
    void setBaseDn(const std::wstring& value) { m_strBaseDn = value; }
    void setAnonymous(bool value) { m_bAnonymous = value; }
    void setFilter(const std::wstring& value) { m_strFilter = value; }
    void setServerName(const std::wstring& value) { m_strServerName = value; }
    void setSecurity(Security value);
    // Sets the Security line's value; an unknown one gives Unknown.
    void setSecurityText(const std::wstring& value);
    void setCaCertificate(const std::wstring& value) { m_strCaCertificate = value; }

    // Longest CACertificate value that loads back whole.
    static constexpr std::size_t kMaxCaCertificateLength = 4096;

    // Longest rest of a line that load takes for a text value (tabs included).
    static constexpr std::size_t kMaxLineLength = 254;
    // Longest value of each text field that loads back whole: the line limit
    // less the tabs after the key.
    static constexpr std::size_t kMaxNameLength = kMaxLineLength - 3;
    static constexpr std::size_t kMaxHostNameLength = kMaxLineLength - 2;
    static constexpr std::size_t kMaxUserDnLength = kMaxLineLength - 3;
    static constexpr std::size_t kMaxBaseDnLength = kMaxLineLength - 3;
    // Longest rest of the password's line that load takes: room for a
    // password as long as the one-word passwords of older files could be.
    static constexpr std::size_t kMaxPasswordLineLength = 65536 + kMaxLineLength;

    // The first character of the text that the file can't hold (above
    // U+00FF), or 0 when it holds them all.
    static wchar_t firstUnstorableCharacter(const std::wstring& text);

private:
    int saveFailed(const wchar_t* what, int error);

    std::wstring m_strName;
    std::wstring m_strHostName;
    std::int32_t m_iPortNumber = 0;
    std::wstring m_strUserDn;
    std::wstring m_strUserPassword;
    std::wstring m_strBaseDn;
    bool m_bAnonymous = false;
    std::wstring m_strFilter;
    std::wstring m_strServerName;
    Security m_security = Security::None;
    std::wstring m_strSecurity;
    std::wstring m_strCaCertificate;
    const std::wstring m_strFileName;
    std::wstring m_strSaveError;
};

} // namespace ldapmodel
