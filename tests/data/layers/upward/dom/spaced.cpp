#include "dom/spaced.h"

#ifdef SOMETHING
#  include "parser/doc_reader.h"
#endif
