#include "python/InUse.h"

#include <Python.h>

#include <algorithm>
#include <new>
#include <vector>

namespace ovix::py {
namespace {

// One entry per mark: as many as rows run at once, so a short list. Guarded
// by the interpreter lock.
std::vector<const void*> g_marks;

}  // namespace

InUse::~InUse() {
    if (!m_object)
        return;
    const auto mark = std::find(g_marks.begin(), g_marks.end(), m_object);
    *mark = g_marks.back();
    g_marks.pop_back();
}

bool InUse::mark(const void* object) noexcept {
    try {
        g_marks.push_back(object);
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
        return false;
    }
    m_object = object;
    return true;
}

bool InUse::isMarked(const void* object) {
    return std::find(g_marks.begin(), g_marks.end(), object) != g_marks.end();
}

}  // namespace ovix::py
