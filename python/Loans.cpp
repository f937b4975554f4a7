#include "python/Loans.h"

#include <unordered_map>

namespace ovix::py {
namespace {

struct Loan {
    const void* lender;
    PyObject* lenderObject;  // a strong reference
};

// Guarded by the interpreter lock.
std::unordered_map<const void*, Loan> g_loans;          // by borrower
std::unordered_map<const void*, int> g_borrowerCounts;  // by lender

}  // namespace

void lend(const void* borrower, const void* lender, PyObject* lenderObject) {
    EndedLoan stale = endLoan(borrower);
    Py_INCREF(lenderObject);
    g_loans.insert_or_assign(borrower, Loan{lender, lenderObject});
    ++g_borrowerCounts[lender];
}

bool isLent(const void* lender) {
    return g_borrowerCounts.count(lender) != 0;
}

EndedLoan endLoan(const void* borrower) {
    auto loan = g_loans.find(borrower);
    if (loan == g_loans.end())
        return EndedLoan(nullptr);
    const Loan ended = loan->second;
    g_loans.erase(loan);
    if (--g_borrowerCounts[ended.lender] == 0)
        g_borrowerCounts.erase(ended.lender);
    return EndedLoan(ended.lenderObject);
}

}  // namespace ovix::py
