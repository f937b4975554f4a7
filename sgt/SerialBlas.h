#pragma once
// Holds the BLAS library to one thread of its own for the length of a solve
// whose steps the engine shares out itself, so that the library's threads do
// not spin between ARPACK's many small calls nor compete with the engine's.
// The count the library had is given back at the end, whatever it was.
//
// The library is the one the process loaded: OpenBLAS keeps a process-wide
// count behind openblas_get_num_threads and openblas_set_num_threads, which
// are found at run time; any other library is taken as serial and left
// alone. The count is the whole process's: a BLAS call of another thread
// during the solve runs on one thread too. Not re-entrant; solves run one
// at a time.

namespace ovix {

class SerialBlas {
public:
    SerialBlas();
    ~SerialBlas();
    SerialBlas(const SerialBlas&) = delete;
    SerialBlas& operator=(const SerialBlas&) = delete;

private:
    int m_callers = 1;  // the count found
};

}  // namespace ovix
