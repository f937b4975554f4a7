// The out-of-line members of ARPACK++'s ArpackError, and the new-handler that
// its solvers install. The engine defines them itself, so that ARPACK++'s
// diagnostics are thrown (sgt/ArpackDiagnostic.h) instead of printed; the
// ARPACK++ library that also defines them is not linked.

#include <arpack++/arerror.h>
#include <arpack++/arrseig.h>

#include <new>
#include <string>

#include "sgt/ArpackDiagnostic.h"

namespace {

struct Message {
    ArpackError::ErrorCode code;
    const char* text;
};

// ARPACK++'s texts of its codes.
constexpr Message kMessages[] = {
    {ArpackError::PARAMETER_ERROR, "Some parameters were not correctly defined"},
    {ArpackError::N_SMALLER_THAN_2, "'n' must be greater than one"},
    {ArpackError::NEV_OUT_OF_BOUNDS, "'nev' is out of bounds"},
    {ArpackError::WHICH_UNDEFINED, "'which' was not correctly defined"},
    {ArpackError::PART_UNDEFINED, "'part' must be one of 'R' or 'I'"},
    {ArpackError::INVMODE_UNDEFINED, "'InvertMode' must be one of 'S' or 'B'"},
    {ArpackError::RANGE_ERROR, "Range error"},
    {ArpackError::LAPACK_ERROR, "Could not perform LAPACK eigenvalue calculation"},
    {ArpackError::START_RESID_ZERO, "Starting vector is zero"},
    {ArpackError::NOT_ACCURATE_EIG, "Could not find any eigenvalue to sufficient accuracy"},
    {ArpackError::REORDERING_ERROR, "Reordering of Schur form was not possible"},
    {ArpackError::ARNOLDI_NOT_BUILD, "Could not build an Arnoldi factorization"},
    {ArpackError::AUPP_ERROR, "Error in ARPACK Aupd fortran code"},
    {ArpackError::EUPP_ERROR, "Error in ARPACK Eupd fortran code"},
    {ArpackError::CANNOT_PREPARE, "Could not correctly define internal variables"},
    {ArpackError::CANNOT_FIND_BASIS, "Could not find the Arnoldi basis vectors"},
    {ArpackError::CANNOT_FIND_VALUES, "Could not find any eigenvalue"},
    {ArpackError::CANNOT_FIND_VECTORS, "Could not find any eigenvector"},
    {ArpackError::CANNOT_FIND_SCHUR, "Could not find any Schur vector"},
    {ArpackError::SCHUR_UNDEFINED, "FindEigenvectors must be used instead of FindSchurVectors"},
    {ArpackError::CANNOT_GET_VECTOR, "Vector is not already available"},
    {ArpackError::CANNOT_GET_PROD, "Matrix vector product is not already available"},
    {ArpackError::CANNOT_PUT_VECTOR, "Could not store vector"},
    {ArpackError::PREPARE_NOT_OK, "DefineParameters must be called prior to this function"},
    {ArpackError::BASIS_NOT_OK, "Arnoldi basis is not available"},
    {ArpackError::VALUES_NOT_OK, "Eigenvalues are not available"},
    {ArpackError::VECTORS_NOT_OK, "Eigenvectors are not available"},
    {ArpackError::SCHUR_NOT_OK, "Schur vectors are not available"},
    {ArpackError::RESID_NOT_OK, "Residual vector is not available"},
    {ArpackError::MATRIX_IS_SINGULAR, "Matrix is singular and could not be factored"},
    {ArpackError::DATA_UNDEFINED, "Matrix data was not defined"},
    {ArpackError::INSUFICIENT_MEMORY, "fill-in factor must be increased"},
    {ArpackError::NOT_SQUARE_MATRIX, "Matrix must be square to be factored"},
    {ArpackError::NOT_FACTORED_MATRIX, "Matrix must be factored before solving a system"},
    {ArpackError::INCOMPATIBLE_SIZES, "Matrix dimensions must agree"},
    {ArpackError::DIFFERENT_TRIANGLES, "A.uplo and B.uplo must be equal"},
    {ArpackError::INCONSISTENT_DATA, "Matrix data contain inconsistencies"},
    {ArpackError::CANNOT_READ_FILE, "Data file could not be read"},
    {ArpackError::CANNOT_OPEN_FILE, "Invalid path or filename"},
    {ArpackError::WRONG_MATRIX_TYPE, "Wrong matrix type"},
    {ArpackError::WRONG_DATA_TYPE, "Wrong data type"},
    {ArpackError::RHS_IGNORED, "RHS vector will be ignored"},
    {ArpackError::UNEXPECTED_EOF, "Unexpected end of file"},
    {ArpackError::NOT_IMPLEMENTED, "This function was not implemented yet"},
    {ArpackError::MEMORY_OVERFLOW, "Memory overflow"},
    {ArpackError::GENERIC_SEVERE, "Severe error"},
    {ArpackError::NCV_OUT_OF_BOUNDS, "'ncv' is out of bounds"},
    {ArpackError::MAXIT_NON_POSITIVE, "'maxit' must be greater than zero"},
    {ArpackError::MAX_ITERATIONS, "Maximum number of iterations taken"},
    {ArpackError::NO_SHIFTS_APPLIED, "No shifts could be applied during a cycle of IRAM iteration"},
    {ArpackError::CHANGING_AUTOSHIFT, "Turning to automatic selection of implicit shifts"},
    {ArpackError::DISCARDING_FACTORS, "Factors L and U were not copied. Matrix must be factored"},
};

const char* messageOf(ArpackError::ErrorCode code) {
    for (const Message& message : kMessages)
        if (message.code == code)
            return message.text;
    return "There is something wrong";
}

}  // namespace

ArpackError::ErrorCode ArpackError::code = ArpackError::NO_ERRORS;

void ArpackError::Set(ErrorCode error, const char* where) {
    code = error;
    if (error != NO_ERRORS)
        Print(where, messageOf(error));
}

void ArpackError::Print(const char* where, const char* message) {
    constexpr std::size_t kLongest = 1023;
    std::string text = "arpack error in ";
    text += where ? where : "";
    text += ": ";
    text += message;
    if (text.size() > kLongest)
        text.resize(kLongest);
    throw ovix::ArpackDiagnostic(text);
}

// ARPACK++ installs this as the process's new-handler while it prepares a
// solve (the solver restores the previous one right after). It uninstalls
// itself, so the failed allocation throws std::bad_alloc, which the solver
// reports as a failed preparation.
void MemoryOverflow() throw() {
    std::set_new_handler(nullptr);
}
