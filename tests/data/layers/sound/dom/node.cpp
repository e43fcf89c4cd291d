// #include "app/main_form.h" is not an include
#include <sys/stat.h>
#include "node.h"
#include "text/exception.h"
