#pragma once
// Native objects that borrow another (a FidsDocCount its Fids) keep the
// lender's Python object alive until they are destroyed, and the lender cannot
// be deleted explicitly meanwhile. Called with the interpreter lock held.

#include <Python.h>

namespace ovix::py {

void lend(const void* borrower, const void* lender, PyObject* lenderObject);
bool isLent(const void* lender);

// The end of a loan: taken before the borrower is destroyed, it lets the
// lender go when it goes itself, after the borrower.
class EndedLoan {
public:
    explicit EndedLoan(PyObject* lenderObject) : m_lenderObject(lenderObject) {}
    ~EndedLoan() { Py_XDECREF(m_lenderObject); }
    EndedLoan(const EndedLoan&) = delete;
    EndedLoan& operator=(const EndedLoan&) = delete;

private:
    PyObject* m_lenderObject;
};

// Ends the loan of a borrower about to be destroyed; an empty EndedLoan when
// it had none.
[[nodiscard]] EndedLoan endLoan(const void* borrower);

}  // namespace ovix::py
