#pragma once

#include "handles/RefCount.h"

namespace memorylib {

// Handle that holds one share of a RefCount object, or nothing.
template <class T>
class gc_ptr {
public:
    gc_ptr() = default;
    gc_ptr(T* object) : m_pObject(object)  // NOLINT: implicit by design
    {
        if (m_pObject != nullptr)
            m_pObject->addRef();
    }
    gc_ptr(const gc_ptr& other) : gc_ptr(other.m_pObject) {}
    template <class U>
    gc_ptr(const gc_ptr<U>& other) : gc_ptr(other.get())  // NOLINT: derived to base
    {
    }

    virtual ~gc_ptr()
    {
        T* previous = m_pObject;
        m_pObject = nullptr;
        if (previous != nullptr)
            previous->release();
    }

    // Increment before release, so self-assignment never destroys the object.
    gc_ptr& operator=(T* object)
    {
        if (object != nullptr)
            object->addRef();
        T* previous = m_pObject;
        m_pObject = object;
        if (previous != nullptr)
            previous->release();
        return *this;
    }
    gc_ptr& operator=(const gc_ptr& other) { return *this = other.m_pObject; }

    // Null for an empty handle, otherwise the object's own getObject().
    T* getObject() const
    {
        if (m_pObject == nullptr)
            return nullptr;
        return static_cast<T*>(m_pObject->getObject());
    }
    T* operator->() const { return getObject(); }
    T& operator*() const { return *getObject(); }

    // The stored pointer, without going through the object.
    T* get() const { return m_pObject; }

    bool operator==(const gc_ptr& other) const { return m_pObject == other.m_pObject; }
    bool operator!=(const gc_ptr& other) const { return m_pObject != other.m_pObject; }
    bool operator<(const gc_ptr& other) const { return m_pObject < other.m_pObject; }

private:
    T* m_pObject = nullptr;
};

} // namespace memorylib
