#pragma once
// The Python interpreter lock.

#include <Python.h>

namespace ovix::py {

// Releases the interpreter lock for its lifetime, so other Python threads run
// during long work. The thread must hold the lock when it is made, and must
// not touch Python objects until it is gone.
class AllowThreads {
public:
    AllowThreads() : m_state(PyEval_SaveThread()) {}
    ~AllowThreads() { PyEval_RestoreThread(m_state); }
    AllowThreads(const AllowThreads&) = delete;
    AllowThreads& operator=(const AllowThreads&) = delete;

private:
    PyThreadState* m_state;
};

// Takes the interpreter lock for its lifetime, on a thread that let it go
// (through AllowThreads or a blocking wait) and must touch Python objects.
class InterpreterLock {
public:
    InterpreterLock() : m_state(PyGILState_Ensure()) {}
    ~InterpreterLock() { PyGILState_Release(m_state); }
    InterpreterLock(const InterpreterLock&) = delete;
    InterpreterLock& operator=(const InterpreterLock&) = delete;

private:
    PyGILState_STATE m_state;
};

// Makes every blocking wait on the module's own locks release the
// interpreter lock when the waiting thread holds it (base/BlockingWait.h).
void installInterpreterHooks();

}  // namespace ovix::py
