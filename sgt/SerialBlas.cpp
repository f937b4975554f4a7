#include "sgt/SerialBlas.h"

#include <dlfcn.h>

namespace ovix {

namespace {

struct OpenBlasThreads {
    int (*get)() = nullptr;
    void (*set)(int) = nullptr;
};

const OpenBlasThreads& openBlasThreads() {
    static const OpenBlasThreads functions = [] {
        OpenBlasThreads found;
        found.get = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "openblas_get_num_threads"));
        found.set = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
        if (!found.get || !found.set)
            found = {};
        return found;
    }();
    return functions;
}

}  // namespace

SerialBlas::SerialBlas() {
    const OpenBlasThreads& openBlas = openBlasThreads();
    if (!openBlas.get)
        return;
    m_callers = openBlas.get();
    if (m_callers != 1)
        openBlas.set(1);
}

SerialBlas::~SerialBlas() {
    if (m_callers != 1)
        openBlasThreads().set(m_callers);
}

}  // namespace ovix
