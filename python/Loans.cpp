#include "python/Loans.h"

#include <unordered_map>
#include <utility>

namespace ovix::py {
namespace {

struct Loan {
    const void* lender;
    PyRef lenderObject;
};

// Guarded by the interpreter lock.
std::unordered_map<const void*, Loan> g_loans;          // by borrower
std::unordered_map<const void*, int> g_borrowerCounts;  // by lender

}  // namespace

void lend(const void* borrower, const void* lender, PyObject* lenderObject) {
    const PyRef stale = endLoan(borrower);
    g_loans.insert_or_assign(borrower, Loan{lender, PyRef::borrowed(lenderObject)});
    ++g_borrowerCounts[lender];
}

bool isLent(const void* lender) {
    return g_borrowerCounts.count(lender) != 0;
}

PyRef endLoan(const void* borrower) {
    auto loan = g_loans.find(borrower);
    if (loan == g_loans.end())
        return PyRef();
    Loan ended = std::move(loan->second);
    g_loans.erase(loan);
    if (--g_borrowerCounts[ended.lender] == 0)
        g_borrowerCounts.erase(ended.lender);
    return std::move(ended.lenderObject);
}

}  // namespace ovix::py
