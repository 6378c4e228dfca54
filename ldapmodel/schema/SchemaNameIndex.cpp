#include "schema/SchemaNameIndex.h"

#include <algorithm>
#include <cwctype>

namespace ldapmodel {

namespace {

constexpr std::size_t BLOCK_CHARACTERS = 8192;

inline wchar_t foldChar(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c - L'A' + L'a');
    if (static_cast<unsigned long>(c) < 0x80)
        return c;
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

} // namespace

bool equalsIgnoreCase(std::wstring_view left, std::wstring_view right)
{
    if (left.size() != right.size())
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i] != right[i] && foldChar(left[i]) != foldChar(right[i]))
            return false;
    }
    return true;
}

std::size_t hashIgnoringCase(std::wstring_view text)
{
    // FNV-1a over the folded characters.
    std::size_t hash = 14695981039346656037ULL;
    for (wchar_t c : text) {
        hash ^= static_cast<std::size_t>(foldChar(c));
        hash *= 1099511628211ULL;
    }
    return hash;
}

const wchar_t* SchemaNameIndex::store(std::wstring_view name)
{
    if (m_blocks.empty() || m_blockSize - m_blockUsed < name.size()) {
        m_blockSize = std::max(BLOCK_CHARACTERS, name.size());
        m_blocks.emplace_back(new wchar_t[m_blockSize]);
        m_blockUsed = 0;
    }
    wchar_t* key = m_blocks.back().get() + m_blockUsed;
    std::copy(name.begin(), name.end(), key);
    m_blockUsed += name.size();
    return key;
}

std::size_t SchemaNameIndex::probe(std::size_t hash, std::wstring_view name) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.value == NOT_FOUND)
            return i;
        if (slot.hash == hash && equalsIgnoreCase(std::wstring_view(slot.key, slot.length), name))
            return i;
    }
}

void SchemaNameIndex::grow(std::size_t capacity)
{
    std::size_t size = 16;
    while (size < capacity * 2)
        size *= 2;
    if (size <= m_slots.size())
        return;
    std::vector<Slot> old(size);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.value == NOT_FOUND)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].value != NOT_FOUND)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

void SchemaNameIndex::reserve(std::size_t more)
{
    grow(m_count + more);
}

bool SchemaNameIndex::insert(std::wstring_view name, std::size_t value)
{
    if (value == NOT_FOUND)
        return false;
    if ((m_count + 1) * 2 > m_slots.size())
        grow(m_count + 1);
    const std::size_t hash = hashIgnoringCase(name);
    Slot& slot = m_slots[probe(hash, name)];
    if (slot.value != NOT_FOUND)
        return false;
    slot.hash = hash;
    slot.key = store(name);
    slot.length = name.size();
    slot.value = value;
    ++m_count;
    return true;
}

std::size_t SchemaNameIndex::find(std::wstring_view name) const
{
    if (m_count == 0)
        return NOT_FOUND;
    return m_slots[probe(hashIgnoringCase(name), name)].value;
}

void SchemaNameIndex::clear()
{
    m_slots.clear();
    m_count = 0;
    m_blocks.clear();
    m_blockUsed = 0;
    m_blockSize = 0;
}

} // namespace ldapmodel
