#pragma once
// The add-on's one way to start a thread: a Thread object run on a thread of
// its own and deleted there. While such a thread runs it counts as a use of
// the module (DllCanUnloadNow answers S_FALSE); the first one also pins the
// module in memory, so that no thread is ever left running in code that its
// host has unloaded. Any thread may start threads.

#include <memory>
#include <thread>
#include <utility>

namespace ovix {

class Thread {
public:
    virtual ~Thread() = default;
    // The thread's work.
    virtual int Run() = 0;
};

// Runs a function of no argument.
template <class Function>
class Thread0 : public Thread {
public:
    explicit Thread0(Function function) : m_function(function) {}
    int Run() override { return m_function(); }

private:
    Function m_function;
};

// Runs a function of one argument.
template <class Function, class Argument>
class Thread1 : public Thread {
public:
    Thread1(Function function, Argument argument) : m_function(function), m_argument(std::move(argument)) {}
    int Run() override { return m_function(m_argument); }

private:
    Function m_function;
    Argument m_argument;
};

// Runs `thread` on a new thread, which deletes it once Run returns. The
// caller joins or detaches the result. Throws std::system_error, with the
// thread deleted and no use left counted, when no thread can be started.
std::thread StartThread(std::unique_ptr<Thread> thread);

}  // namespace ovix
