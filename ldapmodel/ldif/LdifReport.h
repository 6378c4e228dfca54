#pragma once

#include <string>
#include <utility>

namespace ldapmodel {

// What the user is told at the end of an LDIF import or export: a box's
// caption and text. Empty when there is nothing to tell.
class LdifReport {
public:
    LdifReport() = default;
    LdifReport(std::wstring caption, std::wstring text) : m_strCaption(std::move(caption)), m_strText(std::move(text))
    {
    }

    bool isEmpty() const { return m_strText.empty(); }
    const std::wstring& getCaption() const { return m_strCaption; }
    const std::wstring& getText() const { return m_strText; }

private:
    std::wstring m_strCaption;
    std::wstring m_strText;
};

} // namespace ldapmodel
