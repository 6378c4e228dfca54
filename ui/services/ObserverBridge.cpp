#include "services/ObserverBridge.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <mutex>
#include <utility>

namespace ui {

namespace {

// Qt's event queue runs a call after it was posted, but ThreadSanitizer
// can't see inside Qt and takes the call's reads of what the post wrote for
// a race. The post holds this mutex and the call takes it first, which
// shows the order it has anyway.
std::mutex& handOver()
{
    static std::mutex mutex;
    return mutex;
}

// Runs call on the user-interface thread later, unless object is gone by
// then. Callable from any thread: the copied QPointer is only read there.
template <class Call>
void postToTarget(const QPointer<QObject>& object, Call&& call)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || object.isNull())
        return;
    std::lock_guard<std::mutex> posting(handOver());
    QMetaObject::invokeMethod(
        application,
        [object, call = std::forward<Call>(call)]() {
            { std::lock_guard<std::mutex> posted(handOver()); }
            if (!object.isNull())
                call();
        },
        Qt::QueuedConnection);
}

} // namespace

ObserverBridge::ObserverBridge(QObject* object, ObserverTarget* target,
                               const ldapmodel::Model* model)
    : m_object(object), m_pTarget(target), m_pModel(model)
{
}

void ObserverBridge::retarget(QObject* object, ObserverTarget* target)
{
    m_object = object;
    m_pTarget = target;
}

void ObserverBridge::updateFromModel(int kind)
{
    if (!m_object.isNull() && m_pTarget != nullptr)
        m_pTarget->updateFromModel(kind);
}

void ObserverBridge::entryFound()
{
    if (m_pModel == nullptr)
        return;
    ObserverTarget* target = m_pTarget;
    std::wstring dn = m_pModel->getCurrentDN();
    const ldapmodel::Subordinates subordinates = m_pModel->getCurrentSubordinates();
    postToTarget(m_object, [target, dn, subordinates]() { target->onEntryFoundWithSubordinates(dn, subordinates); });
}

void ObserverBridge::finished()
{
    ObserverTarget* target = m_pTarget;
    postToTarget(m_object, [target]() { target->onFinished(); });
}

bool ObserverBridge::step()
{
    ObserverTarget* target = m_pTarget;
    const int count = m_pModel != nullptr ? m_pModel->getProgressCount() : 0;
    postToTarget(m_object, [target, count]() { target->onStep(count); });
    return true;
}

} // namespace ui
