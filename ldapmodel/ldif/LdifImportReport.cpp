#include "ldif/LdifImportReport.h"

namespace ldapmodel {

namespace {

std::wstring records(int count)
{
    return std::to_wstring(count) + (count == 1 ? L" record" : L" records");
}

} // namespace

LdifImportReport::LdifImportReport(const std::wstring& errorFileName) : m_errorFile(errorFileName) {}

void LdifImportReport::refuse(const std::wstring& dn, const std::string& linesAsRead, int code,
                              const std::wstring& reason)
{
    ++m_iRefused;
    ++m_refusals[{code, reason}];
    m_errorFile.append((dn.empty() ? std::wstring(L"record") : L"dn: " + dn) + L" refused: " + reason, linesAsRead);
}

void LdifImportReport::stopAt(const std::wstring& dn, const std::string& linesAsRead)
{
    m_bUnreadable = true;
    m_strUnreadableDN = dn;
    m_errorFile.append(L"dn: " + dn + L" not read: the import stopped at this record", linesAsRead);
}

std::wstring LdifImportReport::summary(const std::wstring& fileName) const
{
    std::wstring text = L"Import of " + fileName + L"\n" + records(m_iAdded) + L" added, ";
    if (m_iChanged > 0)
        text += std::to_wstring(m_iChanged) + (m_iChanged == 1 ? L" change" : L" changes") + L" applied, ";
    text += std::to_wstring(m_iRefused) + L" refused.";
    for (const auto& refusal : m_refusals)
        text += L"\n    " + std::to_wstring(refusal.second) + L" x " + refusal.first.second;
    if (m_bUnreadable)
        text += L"\nThe import stopped at a record that can't be read"
                + (m_strUnreadableDN.empty() ? std::wstring() : L" (dn: " + m_strUnreadableDN + L")") + L".";
    else if (m_bStopped)
        text += L"\nThe import was stopped before the end of the file.";
    const int kept = m_errorFile.getWrittenCount();
    if (kept > 0)
        text += L"\nThe " + (kept == 1 ? std::wstring(L"record that was not added is")
                                       : L"records that were not added are")
                + L" in\n" + m_errorFile.getPath();
    const int lost = getLostCount();
    if (lost > 0)
        text += L"\n" + records(lost) + L" could not be kept in the error file and " + (lost == 1 ? L"is" : L"are")
                + L" lost:\n" + m_errorFile.getFailure();
    return text;
}

} // namespace ldapmodel
