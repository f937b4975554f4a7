#include "python/VisitList.h"

#include "python/ErrorGuard.h"
#include "python/Interpreter.h"
#include "python/Text.h"

namespace ovix::py {

VisitList::VisitList() : m_list(PyList_New(0)) {
    if (!m_list)
        throw PythonError();
}

void VisitList::add(const BrowserVisitSlice& visits) {
    const InterpreterLock locked;
    for (std::size_t i = 0; i < visits.size(); ++i) {
        const PyRef visit(
            Py_BuildValue("(NLi)", newText(visits.url(i)), static_cast<long long>(visits.seconds(i)), 1));
        if (!visit || PyList_Append(m_list.get(), visit.get()) != 0)
            throw PythonError();
        ++m_size;
    }
}

void VisitList::truncate(std::size_t count) {
    const InterpreterLock locked;
    // Only shortens a list that nothing else holds: cannot fail.
    PyList_SetSlice(m_list.get(), static_cast<Py_ssize_t>(count), PY_SSIZE_T_MAX, nullptr);
    m_size = count;
}

PyObject* VisitList::release() {
    return m_list.release();
}

}  // namespace ovix::py
