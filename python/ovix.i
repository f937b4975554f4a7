// The extension module _ovix and its proxy module ovix. Families stand in the
// order of the module's method table.

%module ovix

%begin %{
// SWIG's overload dispatch declares res and vptr again in nested blocks.
#pragma GCC diagnostic ignored "-Wshadow"
%}

%include "conventions.i"
%include "glue.i"
%include "stemmer.i"
%include "fids.i"
%include "featuredict.i"
%include "dvir.i"
%include "sinks.i"
%include "tidy.i"
%include "hierclus.i"
%include "classifier.i"
%include "platform.i"
%include "skype.i"
%include "constants.i"
