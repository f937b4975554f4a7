#pragma once
// Native objects that borrow another (a FidsDocCount its Fids) keep the
// lender's Python object alive until they are destroyed, and the lender cannot
// be deleted explicitly meanwhile. Called with the interpreter lock held.

#include <Python.h>

#include "python/PyRef.h"

namespace ovix::py {

void lend(const void* borrower, const void* lender, PyObject* lenderObject);
bool isLent(const void* lender);

// Ends the loan of a borrower about to be destroyed: the reference to its
// lender (none when it had no loan), to be let go after the borrower.
[[nodiscard]] PyRef endLoan(const void* borrower);

}  // namespace ovix::py
