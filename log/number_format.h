#pragma once

#include <string>

// Fixed notation with six decimals and "." as the decimal point, as "%f"
// prints in the C locale: 8.000000, 3.999023.
std::wstring FormatFixed6(double value);
