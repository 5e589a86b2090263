#include "compare/julian_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace veldra {

std::string julianText(double value) {
  if (!std::isfinite(value) || value == 0.0) return "0";
  // Fifteen significant digits in scientific form give the digits and the
  // power of ten; the point is then placed by hand so no exponent appears.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
  bool negative = false;
  if (!sci.empty() && sci.front() == '-') {
    negative = true;
    sci.remove_prefix(1);
  }
  const auto ePos = sci.find('e');
  std::string mantissa(sci.substr(0, ePos));
  const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());
  std::string digits;
  for (char c : mantissa)
    if (c != '.') digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out;
  if (negative) out += '-';
  const int count = static_cast<int>(digits.size());
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else if (exponent + 1 >= count) {
    out += digits;
    out.append(static_cast<std::size_t>(exponent + 1 - count), '0');
  } else {
    out += digits.substr(0, static_cast<std::size_t>(exponent + 1));
    out += '.';
    out += digits.substr(static_cast<std::size_t>(exponent + 1));
  }
  return out;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Length of the plain decimal number at the start of `text` (0 when none).
std::size_t plainNumberLength(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  return digits == 0 ? 0 : i;
}

double convert(std::string_view number) {
  bool negative = false;
  if (!number.empty() && (number.front() == '-' || number.front() == '+')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  double value = 0;
  const std::errc error =
      std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::fixed).ec;
  if (error == std::errc::result_out_of_range) {
    // Too many digits for a double: too large when a digit before the point
    // is not 0, else too small.
    const std::string_view whole = number.substr(0, number.find('.'));
    value = whole.find_first_not_of('0') != std::string_view::npos ? HUGE_VAL : 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<double> parsePlainNumber(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  const std::size_t length = plainNumberLength(text);
  if (length == 0 || length != text.size()) return std::nullopt;
  return convert(text);
}

double thresholdNumber(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  const std::size_t length = plainNumberLength(text);
  return length == 0 ? 0.0 : convert(text.substr(0, length));
}

}  // namespace veldra
