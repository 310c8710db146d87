// What the files hold, as the faces (the window, dovreth-cli) see it: the fields a naming
// template can use (see info/info_template.h).
#pragma once

#include "info/info_template.h"  // IWYU pragma: export
