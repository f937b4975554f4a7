#pragma once
// Every diagnostic of ARPACK++ (ArpackError, error or warning alike) is thrown
// as this exception with the text "arpack error in PLACE: MESSAGE", at most
// 1023 characters, and nothing is printed. ARPACK++'s own handlers catch only
// ArpackError, so the first diagnostic of a solve always reaches its caller.

#include <stdexcept>

namespace ovix {

class ArpackDiagnostic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace ovix
