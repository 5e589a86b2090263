#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veldra {

// A Julian date (or any finite number) in plain decimal notation: at most 15
// significant digits, "." as the decimal point, no grouping, no exponent and
// no trailing zeros after the point (2453585.68746528, 2453585.5, 0.000125).
std::string julianText(double value);

// Reads a number written in plain decimal notation (an optional sign, digits,
// an optional point and digits; blanks around it are allowed). Nothing when
// the text is not such a number. A number too large for a double gives
// infinity, one too small 0.
std::optional<double> parsePlainNumber(std::string_view text);

// The number at the start of a text, as a threshold box is read: leading
// blanks skipped, then an optional sign, digits and a fraction ("50%" gives
// 50); 0 when the text does not start with a number.
double thresholdNumber(std::string_view text);

}  // namespace veldra
