// Rows of the HTML cleaner: Tidy.

%{
#include "python/Tidy.h"

using ovix::py::Tidy;
%}

class Tidy {
public:
    Tidy(PyObject *options, PyObject *file);
    ~Tidy();
    int cleanup(char const *html);
};
