#pragma once

#include <array>
#include <string_view>

namespace veldra {

// The items of the three drop-down lists of the lower panel, index 0 first.
inline constexpr std::array<std::string_view, 22> kEntityItems = {
    "3DSOLID", "ARC",    "ATTRIBUTEDEFINITION", "BLOCKREFERENCE", "CIRCLE", "ELLIPSE",
    "FACE",    "HATCH",  "LEADER",              "LINE",           "MLINE",  "MTEXT",
    "POINT",   "POLYLINE", "RAY",               "REGION",         "ROTATEDDIMENSION",
    "SOLID",   "SPLINE", "TEXT",                "TRACE",          "XLINE"};
inline constexpr std::array<std::string_view, 11> kPercentItems = {
    "100", "90", "80", "70", "60", "50", "40", "30", "20", "10", "0"};
inline constexpr std::array<std::string_view, 11> kAgeItems = {
    "1 month", "2 months", "3 months", "4 months", "5 months", "6 months",
    "1 year",  "2 years",  "3 years",  "4 years",  "5 years"};

// The warning shown when LINE is chosen: one carriage return, no line feed,
// between its two sentences.
inline constexpr std::string_view kLineWarningTitle = "Entity Selection";
inline constexpr std::string_view kLineWarningText =
    "Warning! LINES often result in large quantities,\r"
    "therefore comparison times may be lengthy...";

// Whether choosing `entityItem` warns: exactly "LINE", the warning switch
// checked (value 1), and the main window shown (the state judged here).
bool shouldWarnAboutLines(std::string_view entityItem, int lineWarningValue, bool windowShown);

// The caption of the handle-check switch for the threshold text.
std::string_view handleSwitchCaption(std::string_view percentText);

// What a click on one of the report switches does to the run buttons.
enum class RunButtonChange { Disable, Enable, Leave };
RunButtonChange runButtonsAfterSwitch(bool anySwitchOn, bool projectSelected);

// The number at the start of a text, as the handle check reads its
// threshold: leading blanks skipped, an optional sign, digits with at most
// one decimal point; the reading stops at the first other character, and a
// text without such a start reads as 0 ("90 %" reads 90, "abc" reads 0).
double leadingNumber(std::string_view text);

}  // namespace veldra
