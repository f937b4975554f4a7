// Rows of the HTML cleaner: Tidy.

%{
#include "python/Tidy.h"
%}

class Tidy {
public:
    Tidy(PyObject *options, PyObject *file);
    ~Tidy();
    int cleanup(char const *html);
};
