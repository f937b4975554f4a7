#pragma once
// The list that GetIEHistory returns to Python, [(url, seconds since 1970,
// 1)], built as the history is read: the reading thread runs without the
// interpreter lock and takes it for one slice of visits at a time, so that
// other threads run between slices and the reader never holds every visit
// beside the list.

#include <Python.h>

#include <cstddef>

#include "platform/history/BrowserVisitSink.h"
#include "python/PyRef.h"

namespace ovix::py {

class VisitList final : public BrowserVisitSink {
public:
    // Made and destroyed with the interpreter lock held; throws PythonError.
    VisitList();

    // Called without the interpreter lock; they take it. add throws
    // PythonError when Python cannot make an item.
    void add(const BrowserVisitSlice& visits) override;
    std::size_t size() const override { return m_size; }
    void truncate(std::size_t count) override;

    // The list, a new reference; the object keeps none.
    PyObject* release();

private:
    PyRef m_list;
    std::size_t m_size = 0;
};

}  // namespace ovix::py
