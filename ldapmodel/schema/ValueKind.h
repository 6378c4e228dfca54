#pragma once

#include <cstdint>
#include <string>

namespace ldapmodel {

// Syntax class of an attribute's values. The rest of the program only asks
// whether a kind is binary.
enum ValueKind : std::int32_t {
    VALUEKIND_BINARY = 0x210001,
    VALUEKIND_BOOLEAN = 0x210002,
    VALUEKIND_COUNTRY_STRING = 0x210003,
    VALUEKIND_DN = 0x210004,
    VALUEKIND_TEXT = 0x210005,
    VALUEKIND_TIME = 0x210006,
    VALUEKIND_IA5_STRING = 0x210007,
    VALUEKIND_INTEGER = 0x210008,
    VALUEKIND_FAX_NUMBER = 0x210009,
    VALUEKIND_OCTET_STRING = 0x21000A,
    VALUEKIND_POSTAL_ADDRESS = 0x21000B,
    VALUEKIND_TELEPHONE_NUMBER = 0x21000C,
    VALUEKIND_UNKNOWN = 0x21000E,
};

inline bool isBinaryKind(std::int32_t kind) { return kind == VALUEKIND_BINARY; }

// Value kind of an attribute type by name (letter case ignored) in the loaded
// schema; VALUEKIND_UNKNOWN without schema, type or syntax.
std::int32_t getValueKindOfAttribute(const std::wstring& attributeName);

} // namespace ldapmodel
