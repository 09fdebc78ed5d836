// The serial library's first translation unit; classes are added beside it.
#include "serial/ComPortIntf.h"
