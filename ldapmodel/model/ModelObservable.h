#pragma once

#include "handles/gc_ptr.h"
#include "handles/RefCount.h"
#include "model/ModelObserver.h"

#include <mutex>
#include <vector>

namespace ldapmodel {

// The observer list and the three slots of the model.
//
// The list and updateFromModel belong to the user-interface thread. The slots
// are set on that thread and called from the worker thread, so they sit
// behind a mutex; the worker calls an observer through its raw pointer and
// never touches the (non-atomic) reference counts. A handle that leaves a
// slot is kept in a retired list until no worker can still be calling it;
// the owner releases that list on the user-interface thread
// (releaseRetiredObservers) once its worker has been joined.
class ModelObservable : public memorylib::RefCount {
public:
    ModelObservable() = default;
    ModelObservable(const ModelObservable&) = delete;
    ModelObservable& operator=(const ModelObservable&) = delete;
    ~ModelObservable() override = default;

    // A null handle is ignored; otherwise appended in registration order.
    void addObserver(const memorylib::gc_ptr<ModelObserver>& observer);
    // updateFromModel(kind) to the first registered observer only.
    void notify(int kind);
    std::size_t getObserverCount() const { return m_observers.size(); }

    void setTreeObserver(const memorylib::gc_ptr<ModelObserver>& observer);
    void setSearchObserver(const memorylib::gc_ptr<ModelObserver>& observer);
    void setProgressObserver(const memorylib::gc_ptr<ModelObserver>& observer);
    memorylib::gc_ptr<ModelObserver> getTreeObserver() const;
    memorylib::gc_ptr<ModelObserver> getSearchObserver() const;
    memorylib::gc_ptr<ModelObserver> getProgressObserver() const;

    // Calls into the slots; an empty slot does nothing (step answers true).
    // Safe from the worker thread.
    void treeEntryFound();
    void searchEntryFound();
    void progressFinished();
    bool progressStep();

protected:
    // Drops the handles that left a slot. User-interface thread only, and
    // only while no worker runs.
    void releaseRetiredObservers();

private:
    ModelObserver* slotObject(const memorylib::gc_ptr<ModelObserver>& slot) const;
    void replaceSlot(memorylib::gc_ptr<ModelObserver>& slot,
                     const memorylib::gc_ptr<ModelObserver>& observer);

    std::vector<memorylib::gc_ptr<ModelObserver>> m_observers;
    memorylib::gc_ptr<ModelObserver> m_pTreeObserver;
    memorylib::gc_ptr<ModelObserver> m_pSearchObserver;
    memorylib::gc_ptr<ModelObserver> m_pProgressObserver;
    mutable std::mutex m_slotMutex;
    std::vector<memorylib::gc_ptr<ModelObserver>> m_retiredObservers;
};

} // namespace ldapmodel
