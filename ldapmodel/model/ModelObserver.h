#pragma once

#include "handles/RefCount.h"

namespace ldapmodel {

// Kinds passed to updateFromModel.
enum ModelUpdateKind : int {
    MODEL_UPDATE_ALL = 0,          // everything changed (connect, disconnect)
    MODEL_UPDATE_TREE = 1,         // the tree changed
    MODEL_UPDATE_OPERATIONAL = 2,  // the active entry's operational attributes
    MODEL_UPDATE_USER = 3,         // the active entry's user attributes
    MODEL_UPDATE_RESET = 4,        // clear the tree and both attribute views
    // The connection broke or the user cancelled a wait for the server; the
    // model is no longer connected. Sent on the user-interface thread,
    // possibly in the middle of a model call: the receiver drops the
    // connection (Model::disconnect) later, when it is safe to.
    MODEL_UPDATE_CONNECTION_LOST = 10,
};

// Receives the model's notifications. updateFromModel is only called on the
// user-interface thread; entryFound, finished and step are called on the
// background worker thread and must hand their work to the user-interface
// thread without waiting for it (the model joins the worker on that thread).
class ModelObserver : public memorylib::RefCount {
public:
    virtual void updateFromModel(int kind) = 0;
    // A background search received an entry; the DN is Model::getCurrentDN().
    virtual void entryFound() {}
    // A background operation ended.
    virtual void finished() {}
    // One more message arrived; the count is Model::getProgressCount().
    virtual bool step() { return true; }
    // Not called by the model.
    virtual bool query() { return false; }
};

} // namespace ldapmodel
