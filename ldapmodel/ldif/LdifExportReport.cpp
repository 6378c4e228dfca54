#include "ldif/LdifExportReport.h"

#include <cstdio>

namespace ldapmodel {

namespace {

constexpr std::size_t kShownNameLength = 64;

std::wstring entries(int count)
{
    return std::to_wstring(count) + (count == 1 ? L" entry" : L" entries");
}

} // namespace

std::wstring LdifExportReport::printableName(const std::wstring& name)
{
    std::wstring shown;
    for (wchar_t c : name) {
        if (shown.size() >= kShownNameLength) {
            shown += L"...";
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            wchar_t escaped[8];
            std::swprintf(escaped, 8, L"\\x%02X", static_cast<unsigned int>(c));
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::wstring LdifExportReport::text(const std::wstring& fileName, int written, End end,
                                    const std::wstring& failure, const std::set<std::wstring>& skippedNames)
{
    std::wstring text;
    if (end != End::Complete) {
        text = L"The export to " + fileName + L" stopped early: " + entries(written) + L" written.\n";
        if (end == End::StoppedByUser)
            text += L"It was stopped before the search ended.";
        else
            text += L"The search ended with " + failure;
    }
    if (!skippedNames.empty()) {
        if (!text.empty())
            text += L"\n";
        text += L"Attributes left out of the records, their names are not valid attribute descriptions:";
        for (const std::wstring& name : skippedNames)
            text += L"\n    " + printableName(name);
    }
    return text;
}

} // namespace ldapmodel
