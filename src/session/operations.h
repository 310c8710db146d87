// The table of operations, as the faces (the window, dovreth-cli) see it: see
// edit/operations.h for the rows.
#pragma once

#include "edit/operations.h"  // IWYU pragma: export
