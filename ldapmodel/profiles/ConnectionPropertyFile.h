#pragma once

#include "handles/RefCount.h"

#include <cstdint>
#include <string>

namespace ldapmodel {

// One connection profile and its file of nine "Key<tabs>value" lines.
// The file holds one byte per character (codes 0 to 255) and CR LF line ends.
class ConnectionPropertyFile : public memorylib::RefCount {
public:
    // fileName: full or working-directory-relative path of the profile file.
    explicit ConnectionPropertyFile(const std::wstring& fileName);
    ~ConnectionPropertyFile() override;

    // 0: all nine fields read; 1: the contents stopped matching the format
    // (fields read so far keep their new values); -1: can't open the file.
    int load();
    // 0 after writing; -1 when the file can't be opened or written. A new file
    // is created with mode 0600; an existing one keeps its mode. A character
    // above 255 is written as "?".
    int save();

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

    void setName(const std::wstring& value) { m_strName = value; }
    void setHostName(const std::wstring& value) { m_strHostName = value; }
    void setPortNumber(std::int32_t value) { m_iPortNumber = value; }
    void setUserDn(const std::wstring& value) { m_strUserDn = value; }
    void setUserPassword(const std::wstring& value) { m_strUserPassword = value; }
    void setBaseDn(const std::wstring& value) { m_strBaseDn = value; }
    void setAnonymous(bool value) { m_bAnonymous = value; }
    void setFilter(const std::wstring& value) { m_strFilter = value; }
    void setServerName(const std::wstring& value) { m_strServerName = value; }

    // Longest rest of a line that load takes for a text value (tabs included).
    static constexpr std::size_t kMaxLineLength = 254;

private:
    std::wstring m_strName;
    std::wstring m_strHostName;
    std::int32_t m_iPortNumber = 0;
    std::wstring m_strUserDn;
    std::wstring m_strUserPassword;
    std::wstring m_strBaseDn;
    bool m_bAnonymous = false;
    std::wstring m_strFilter;
    std::wstring m_strServerName;
    const std::wstring m_strFileName;
};

} // namespace ldapmodel
