// Size texts shown by the list, the item fields, the information box and the file dialog.
#pragma once

#include <cstdint>
#include <string>

// Decimal digits of the 64-bit value (high, low): no sign, no grouping; 0 gives "0".
std::string FormatSize64(std::uint32_t high, std::uint32_t low);

// Groups decimal digits by three from the right with commas: "1234567" -> "1,234,567".
std::string InsertComma(const std::string& digits);
