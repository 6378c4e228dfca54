#include "model/ModelObservable.h"

namespace ldapmodel {

using memorylib::gc_ptr;

void ModelObservable::addObserver(const gc_ptr<ModelObserver>& observer)
{
    if (observer.getObject() == nullptr)
        return;
    m_observers.push_back(observer);
}

void ModelObservable::notify(int kind)
{
    if (m_observers.empty())
        return;
    ModelObserver* first = m_observers.front().getObject();
    if (first != nullptr)
        first->updateFromModel(kind);
}

void ModelObservable::replaceSlot(gc_ptr<ModelObserver>& slot, const gc_ptr<ModelObserver>& observer)
{
    std::lock_guard<std::mutex> lock(m_slotMutex);
    if (slot == observer)
        return;
    // A worker may have read the old pointer already; keep it alive.
    if (slot.getObject() != nullptr)
        m_retiredObservers.push_back(slot);
    slot = observer;
}

void ModelObservable::setTreeObserver(const gc_ptr<ModelObserver>& observer)
{
    replaceSlot(m_pTreeObserver, observer);
}

void ModelObservable::setSearchObserver(const gc_ptr<ModelObserver>& observer)
{
    replaceSlot(m_pSearchObserver, observer);
}

void ModelObservable::setProgressObserver(const gc_ptr<ModelObserver>& observer)
{
    replaceSlot(m_pProgressObserver, observer);
}

gc_ptr<ModelObserver> ModelObservable::getTreeObserver() const
{
    std::lock_guard<std::mutex> lock(m_slotMutex);
    return m_pTreeObserver;
}

gc_ptr<ModelObserver> ModelObservable::getSearchObserver() const
{
    std::lock_guard<std::mutex> lock(m_slotMutex);
    return m_pSearchObserver;
}

gc_ptr<ModelObserver> ModelObservable::getProgressObserver() const
{
    std::lock_guard<std::mutex> lock(m_slotMutex);
    return m_pProgressObserver;
}

ModelObserver* ModelObservable::slotObject(const gc_ptr<ModelObserver>& slot) const
{
    std::lock_guard<std::mutex> lock(m_slotMutex);
    return slot.getObject();
}

void ModelObservable::treeEntryFound()
{
    if (ModelObserver* observer = slotObject(m_pTreeObserver))
        observer->entryFound();
}

void ModelObservable::searchEntryFound()
{
    if (ModelObserver* observer = slotObject(m_pSearchObserver))
        observer->entryFound();
}

void ModelObservable::progressFinished()
{
    if (ModelObserver* observer = slotObject(m_pProgressObserver))
        observer->finished();
}

bool ModelObservable::progressStep()
{
    if (ModelObserver* observer = slotObject(m_pProgressObserver))
        return observer->step();
    return true;
}

void ModelObservable::releaseRetiredObservers()
{
    std::vector<gc_ptr<ModelObserver>> retired;
    {
        std::lock_guard<std::mutex> lock(m_slotMutex);
        retired.swap(m_retiredObservers);
    }
}

} // namespace ldapmodel
