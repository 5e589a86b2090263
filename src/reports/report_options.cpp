#include "reports/report_options.h"

#include <string>

namespace veldra {

bool shouldWarnAboutLines(std::string_view entityItem, int lineWarningValue, bool windowShown) {
  return entityItem == "LINE" && lineWarningValue == 1 && windowShown;
}

std::string_view handleSwitchCaption(std::string_view percentText) {
  return percentText == "100" ? "Entities =" : "Entities >";
}

RunButtonChange runButtonsAfterSwitch(bool anySwitchOn, bool projectSelected) {
  if (!anySwitchOn) return RunButtonChange::Disable;
  return projectSelected ? RunButtonChange::Enable : RunButtonChange::Leave;
}

double leadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  double value = 0;
  double scale = 0;  // 0 before the decimal point, then 0.1, 0.01, ...
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (scale == 0) {
        value = value * 10 + (c - '0');
      } else {
        value += (c - '0') * scale;
        scale /= 10;
      }
    } else if (c == '.' && scale == 0) {
      scale = 0.1;
    } else {
      break;
    }
  }
  return negative ? -value : value;
}

}  // namespace veldra
