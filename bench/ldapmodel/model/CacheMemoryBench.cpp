// Memory held by an entry cache of 100,000 names-only entries (the form the
// children and top reads file), measured as the heap growth (mallinfo2) and
// the resident-set growth.

#include "model/Model.h"
#include "records/LDAPEntry.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr int kEntries = 100000;

std::size_t heapInUse()
{
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

std::wstring childDn(int i)
{
    // uid=user000123,ou=People,dc=example,dc=com: 42 characters.
    std::wstring number = std::to_wstring(i);
    return L"uid=user" + std::wstring(6 - number.size(), L'0') + number + L",ou=People,dc=example,dc=com";
}

} // namespace

int main()
{
    // Warm up the allocator and the DN helpers before the first reading.
    { ldapmodel::Model::EntryCache warm; warm.emplace(childDn(0), new ldapmodel::LDAPEntry()); }

    const std::size_t heapBefore = heapInUse();
    const std::size_t rssBefore = residentBytes();
    std::size_t dnCharacters = 0;
    {
        ldapmodel::Model::EntryCache cache;
        for (int i = 0; i < kEntries; ++i) {
            memorylib::gc_ptr<ldapmodel::LDAPEntry> entry = new ldapmodel::LDAPEntry();
            entry->setDN(childDn(i));
            entry->setChildrenComplete(false);
            dnCharacters += entry->getDN().size();
            cache.emplace(entry->getDN(), entry);
        }
        const std::size_t heapAfter = heapInUse();
        const std::size_t rssAfter = residentBytes();
        const double heapPerEntry = static_cast<double>(heapAfter - heapBefore) / kEntries;
        const double rssPerEntry = static_cast<double>(rssAfter - rssBefore) / kEntries;
        std::printf("entries cached:             %d (names only)\n", kEntries);
        std::printf("DN length:                  %.1f characters (%zu bytes per wchar_t)\n",
                    static_cast<double>(dnCharacters) / kEntries, sizeof(wchar_t));
        std::printf("sizeof(LDAPEntry):          %zu bytes\n", sizeof(ldapmodel::LDAPEntry));
        std::printf("heap growth (mallinfo2):    %zu bytes, %.0f bytes per entry\n", heapAfter - heapBefore,
                    heapPerEntry);
        std::printf("resident growth (statm):    %zu bytes, %.0f bytes per entry\n", rssAfter - rssBefore,
                    rssPerEntry);
        std::printf("cache size check:           %zu\n", cache.size());
    }
    return 0;
}
