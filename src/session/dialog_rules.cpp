#include "session/dialog_rules.h"

#include "edit/name_limit.h"

namespace dov::dialog {

int LimitPresetValue(int mode) {
    return dov::LimitPresetValue(mode);
}

int LimitInitialValue(int limitSize) {
    return LimitDialogInitialValue(limitSize);
}

bool ParseLimitField(const std::string& text, int* value, IHost* host) {
    return dov::ParseLimitField(text, value, host);
}

void ResetSerialRange(SerialSettings& s) {
    ResetSerialSettingsRange(s);
}

void PrepareSerialSimple(SerialSettings& s, bool up) {
    dov::PrepareSerialSimple(s, up);
}

SerialDialogEnables SerialEnables(const SerialSettings& s) {
    return GetSerialDialogEnables(s);
}

int ParseLeadingInt(std::string_view text) {
    return dov::ParseLeadingInt(text);
}

}  // namespace dov::dialog
