// A configuration header that reaches up into the driver: the layer check
// must refuse it. Only the layer check's own test reads this tree.
#pragma once

#include "driver/run_state.h"
