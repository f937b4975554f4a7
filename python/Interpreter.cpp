#include "python/Interpreter.h"

#include "base/BlockingWait.h"

namespace ovix::py {

void installInterpreterHooks() {
    ovix::installBlockingWaitHooks({
        []() -> void* { return PyGILState_Check() ? PyEval_SaveThread() : nullptr; },
        [](void* state) { PyEval_RestoreThread(static_cast<PyThreadState*>(state)); },
    });
}

}  // namespace ovix::py
