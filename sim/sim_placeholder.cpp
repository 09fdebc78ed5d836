#include "sim/SimInstrument.h"
