#pragma once

#include "handles/RefCount.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct berval;

namespace ldapmodel {

// A value's bytes as LDAP counts them.
struct AttributeValueData {
    std::uint32_t bv_len = 0;
    const char* bv_val = nullptr;
};

// One attribute value: a counted run of bytes (UTF-8 for text values).
class LDAPAttributeValue : public memorylib::RefCount {
public:
    // Empty: no bytes, null buffer.
    LDAPAttributeValue();
    // Copies the bytes; a null pointer or zero length gives an empty value.
    LDAPAttributeValue(const char* bytes, std::size_t length);
    // The text in UTF-8.
    explicit LDAPAttributeValue(const std::wstring& text);
    // Takes the buffer, whose first length bytes are the value and which has
    // room for one byte more (set to zero here). Null or length 0 gives an
    // empty value.
    LDAPAttributeValue(std::unique_ptr<char[]> buffer, std::size_t length);
    // Copies bv_len bytes and keeps a zero byte after them; a berval of
    // length 0 still gets a (one-byte) buffer. A null pointer gives an
    // empty value.
    explicit LDAPAttributeValue(const berval* value);
    ~LDAPAttributeValue() override;
    LDAPAttributeValue(const LDAPAttributeValue&) = delete;
    LDAPAttributeValue& operator=(const LDAPAttributeValue&) = delete;

    AttributeValueData getAttributeValueData() const { return {m_uLength, m_pBuffer.get()}; }
    std::uint32_t getLength() const { return m_uLength; }
    // Null for an empty value not made from a berval.
    const char* getBytes() const { return m_pBuffer.get(); }
    std::string getByteString() const;

    // The bytes up to the first zero byte, decoded as UTF-8.
    std::wstring toString() const;
    // Same length and same bytes.
    bool equals(const LDAPAttributeValue& other) const;
    bool operator==(const LDAPAttributeValue& other) const { return equals(other); }
    bool operator!=(const LDAPAttributeValue& other) const { return !equals(other); }
    // Any byte of 0x80 or above.
    bool containsNonAscii() const;

    // The value's LDIF line under the attribute name, folded to the width
    // (at least 50): "name: " and the text in ISO-8859-1, or "name:: " and
    // the bytes in Base64.
    std::string toLdifText(const std::wstring& attributeName, int lineWidth) const;
    std::string toLdifBase64(const std::wstring& attributeName, int lineWidth) const;

    // 0, or -1 leaving the value unchanged.
    int loadFromFile(const std::wstring& path);
    // 0, or -1 (an empty value writes no file).
    int saveToFile(const std::wstring& path) const;

private:
    void assign(const char* bytes, std::size_t length, bool keepEmptyBuffer);

    std::unique_ptr<char[]> m_pBuffer;
    std::uint32_t m_uLength = 0;
};

} // namespace ldapmodel
