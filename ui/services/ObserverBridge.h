#pragma once

// How a widget observes the model.
//
// The model holds its observers through gc_ptr handles and may keep them for
// the life of the process (its observer list) or until its worker has been
// joined (its slots); Qt deletes widgets through their parents or scopes.
// So a widget is never a ModelObserver itself. It implements ObserverTarget
// and owns (through a gc_ptr) a small ObserverBridge, which is the
// ModelObserver the model sees. The bridge holds the widget only through a
// QPointer: when the widget is gone the bridge lives on, harmless, for as
// long as the model keeps it, and drops every call.
//
// Threads: updateFromModel arrives on the user-interface thread and is
// forwarded at once. entryFound, step and finished arrive on the model's
// worker thread (finished also on the user-interface thread after a failed
// start); the bridge reads what the call is about there (the current DN, the
// progress count) and hands the call to the user-interface thread as a queued
// call, which is dropped if the widget has been deleted by then. The worker
// never touches the bridge's reference count.

#include "handles/gc_ptr.h"
#include "model/Model.h"
#include "model/ModelObserver.h"
#include "records/Subordinates.h"

#include <QObject>
#include <QPointer>

#include <string>

namespace ui {

// The widget's side: every operation runs on the user-interface thread.
class ObserverTarget {
public:
    virtual ~ObserverTarget() = default;
    virtual void updateFromModel(int kind) { (void)kind; }
    // A background search returned the entry dn.
    virtual void onEntryFound(const std::wstring& dn) { (void)dn; }
    // The same with what the entry's hasSubordinates said (a child read
    // asks for it); by default only the DN counts.
    virtual void onEntryFoundWithSubordinates(const std::wstring& dn, ldapmodel::Subordinates subordinates)
    {
        (void)subordinates;
        onEntryFound(dn);
    }
    // One more message handled; count is the progress count at that moment.
    virtual void onStep(int count) { (void)count; }
    // The background operation ended.
    virtual void onFinished() {}
};

class ObserverBridge : public ldapmodel::ModelObserver {
public:
    // object and target are the same widget (its QObject and ObserverTarget
    // sides); model is the process-wide model, read from the worker.
    ObserverBridge(QObject* object, ObserverTarget* target, const ldapmodel::Model* model);

    // Convenience for a widget that derives from QObject and ObserverTarget.
    template <class Widget>
    static memorylib::gc_ptr<ObserverBridge> create(Widget* widget,
                                                    const ldapmodel::Model* model)
    {
        return memorylib::gc_ptr<ObserverBridge>(new ObserverBridge(widget, widget, model));
    }

    // Points the bridge at another widget (null: at none). User-interface
    // thread only, and only for a bridge that stands in none of the model's
    // slots (the worker never calls it).
    void retarget(QObject* object, ObserverTarget* target);
    bool hasTarget() const { return !m_object.isNull(); }

    void updateFromModel(int kind) override;
    void entryFound() override;
    void finished() override;
    bool step() override;

private:
    QPointer<QObject> m_object;
    ObserverTarget* m_pTarget;
    const ldapmodel::Model* m_pModel;
};

} // namespace ui
