#pragma once

#include "handles/gc_ptr.h"
#include "handles/RefCount.h"
#include "records/LDAPAttributeValue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ldapmodel {

// One attribute of an entry: type name, values in order, value kind and a
// change state.
class LDAPAttribute : public memorylib::RefCount {
public:
    // Change states.
    static constexpr std::int32_t ATTRIBUTE_NEW = 0x110001;
    static constexpr std::int32_t ATTRIBUTE_EXISTING = 0x110002;
    static constexpr std::int32_t ATTRIBUTE_MODIFY = 0x110003;
    static constexpr std::int32_t ATTRIBUTE_DELETED = 0x110004;
    static constexpr std::int32_t ATTRIBUTE_BVALUES = 0x110005;
    static constexpr std::int32_t NO_STATE = -1;

    using ValueList = std::vector<memorylib::gc_ptr<LDAPAttributeValue>>;

    // Empty name, value kind looked up for it, no state.
    LDAPAttribute();
    // Both stored as given; no state.
    LDAPAttribute(const std::wstring& name, std::int32_t valueKind);

    void setName(const std::wstring& name) { m_strName = name; }
    std::wstring getName() const { return m_strName; }
    // Letter case ignored.
    bool hasName(const std::wstring& name) const;

    // Looks the kind up in the schema by name, stores and returns it.
    std::int32_t getValueKind();

    // Negative states are ignored.
    void setState(std::int32_t state);
    std::int32_t getState() const { return m_iState; }

    // -1 for an empty handle; duplicates are kept.
    int addValue(const memorylib::gc_ptr<LDAPAttributeValue>& value);
    int getValueCount() const { return static_cast<int>(m_values.size()); }
    // An empty handle when the index is out of range.
    memorylib::gc_ptr<LDAPAttributeValue> getValue(int index) const;
    const ValueList& getValues() const { return m_values; }
    // Appends the non-empty handles, in order; nothing without a target.
    void copyValues(ValueList* target) const;

    // "[LDAPAttribute:name=<name><state word>\n\t\t" then "<value>,\n\t\t" per value.
    std::wstring toString() const;
    // One LDIF line per value, folded to the width (at least 50); "" without
    // values.
    std::string toLdif(int lineWidth) const;

private:
    std::wstring m_strName;
    std::int32_t m_iValueKind;
    std::int32_t m_iState = NO_STATE;
    ValueList m_values;
};

} // namespace ldapmodel
