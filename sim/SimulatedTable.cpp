#include "sim/SimulatedTable.h"
