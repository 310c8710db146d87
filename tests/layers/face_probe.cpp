// A face's source that reaches past the session. It compiles, but the layer check refuses it:
// the target dov_layer_probe never builds (see tests/CMakeLists.txt).
#include "rename/undo.h"

int LayerProbe() {
    return 0;
}
