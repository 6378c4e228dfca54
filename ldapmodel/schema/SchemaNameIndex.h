#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ldapmodel {

// Letter case ignored: ASCII folded directly, other characters by towlower.
bool equalsIgnoreCase(std::wstring_view left, std::wstring_view right);
std::size_t hashIgnoringCase(std::wstring_view text);

struct CaseInsensitiveHash {
    std::size_t operator()(std::wstring_view text) const { return hashIgnoringCase(text); }
};
struct CaseInsensitiveEqual {
    bool operator()(std::wstring_view left, std::wstring_view right) const
    {
        return equalsIgnoreCase(left, right);
    }
};

// Open-addressing hash index from a name (letter case ignored) to a number,
// keeping the first number given for a name. Keys are copied into a few
// large blocks, so filling it costs almost no allocations; lookups take no
// copy of the name.
class SchemaNameIndex {
public:
    static constexpr std::size_t NOT_FOUND = static_cast<std::size_t>(-1);

    // Adds name -> value unless the name is present; true when added.
    bool insert(std::wstring_view name, std::size_t value);
    // The value of the name, or NOT_FOUND.
    std::size_t find(std::wstring_view name) const;
    // Room for that many more names without growing.
    void reserve(std::size_t more);
    void clear();
    std::size_t size() const { return m_count; }

private:
    struct Slot {
        std::size_t hash = 0;
        const wchar_t* key = nullptr;
        std::size_t length = 0;
        std::size_t value = NOT_FOUND;  // NOT_FOUND marks an empty slot
    };

    const wchar_t* store(std::wstring_view name);
    void grow(std::size_t capacity);
    std::size_t probe(std::size_t hash, std::wstring_view name) const;

    std::vector<Slot> m_slots;  // size 0 or a power of two
    std::size_t m_count = 0;
    std::vector<std::unique_ptr<wchar_t[]>> m_blocks;
    std::size_t m_blockUsed = 0;
    std::size_t m_blockSize = 0;
};

} // namespace ldapmodel
