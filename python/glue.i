// The list-of-strings container and the iterator glue that comes with it, as
// SWIG's library generates them.

%include <std_string.i>
%include <std_list.i>

%template(stdstrlist) std::list<std::string>;
