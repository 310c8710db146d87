// The rules the window's edit dialogs apply (the length limit's field and presets, the serial
// numbering dialog's ranges and enables), and the settings those dialogs fill. The faces reach
// the edit layer's rules only through here.
#pragma once

#include <string>
#include <string_view>

#include "edit/keyword_settings.h"  // IWYU pragma: export
#include "edit/serial_settings.h"   // IWYU pragma: export
#include "model/host.h"

namespace dov::dialog {

// The length limit dialog: the value a preset puts into the field (-1: left as it is), what
// the field shows on opening, and its check on OK (the host shows the refusal).
int LimitPresetValue(int mode);
int LimitInitialValue(int limitSize);
bool ParseLimitField(const std::string& text, int* value, IHost* host);

// The serial numbering dialog: out-of-range values put back on opening, the start-value-only
// form's preparation, which controls are enabled, and a number field's reading.
void ResetSerialRange(SerialSettings& s);
void PrepareSerialSimple(SerialSettings& s, bool up);
SerialDialogEnables SerialEnables(const SerialSettings& s);
int ParseLeadingInt(std::string_view text);

}  // namespace dov::dialog
