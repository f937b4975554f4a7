// Rows of the stemmer: PorterStemmer.

%{
#include <string>

#include "features/PorterStemmer.h"
%}

class PorterStemmer {
public:
    PorterStemmer();
    ~PorterStemmer();
    %extend {
        // Stems a copy: the caller's text is left as it was.
        PyObject *stem(char *s) {
            std::string word(s);
            $self->stem(word.data());
            return ovix::py::newText(word.c_str());
        }
    }
};
