#pragma once

#include <cstdint>

namespace memorylib {

// Intrusive, non-atomic reference count. Objects start at 0 and delete
// themselves when the last gc_ptr lets go.
class RefCount {
public:
    RefCount() = default;
    RefCount(const RefCount&) : m_iCount(0) {}
    RefCount& operator=(const RefCount&) { return *this; }

    virtual void addRef() { ++m_iCount; }
    virtual void release()
    {
        --m_iCount;
        if (m_iCount <= 0)
            destroy();
    }
    virtual RefCount* getObject() { return this; }
    virtual void destroy()
    {
        RefCount* object = getObject();
        if (object != nullptr)
            delete object;
    }
    virtual std::int32_t getRefCount() const { return m_iCount; }
    virtual ~RefCount() { m_iCount = 0; }

private:
    std::int32_t m_iCount = 0;
};

} // namespace memorylib
