#include "compare/classic_reports.h"

#include <cmath>

#include "app/textfile.h"
#include "app/utf8_text.h"
#include "compare/julian_text.h"

namespace veldra {

std::string timeConflictLine(const std::string& first, const std::string& second, double julian) {
  const TimeOfDay t = timeOfDay(julian);
  return first + " vs. " + second + " at " + std::to_string(t.hours) + " hours, " +
         std::to_string(t.minutes) + " minutes, " + std::to_string(t.seconds) + " seconds [" +
         julianText(julian) + " as Julian]";
}

std::string timeReport(const TimeFindings& findings, const DrawingTable& table) {
  if (findings.pairs.empty()) return quotedLine("No time conflicts!");
  std::string content;
  for (const auto& pair : findings.pairs)
    content += quotedLine(timeConflictLine(table.names[pair.first], table.names[pair.second], pair.created));
  return content;
}

std::string handleReport(const HandleFindings& findings, const DrawingTable& table) {
  if (findings.pairs.empty())
    return quotedLine("No entity [" + findings.entity + "] conflicts >= " + findings.percent + "% match!");
  std::string content;
  for (const auto& match : findings.pairs) {
    const std::string shown = std::to_string(static_cast<long long>(std::round(match.percentage())));
    const std::string names = table.names[match.first] + " vs. " + table.names[match.second];
    if (match.full()) {
      content += quotedLine("** " + names + " has a " + shown + "% " + findings.entity + " handle match [" +
                            std::to_string(match.matched) + " total].");
    } else if (match.firstCount > match.secondCount) {
      content += quotedLine(names + " has a " + shown + "% / 100% " + findings.entity + " handle match.");
    } else {
      content += quotedLine(names + " has a 100% / " + shown + "% " + findings.entity + " handle match.");
    }
  }
  return content;
}

std::string ageReport(const AgeFindings& findings, const DrawingTable& table) {
  if (findings.drawings.empty()) return quotedLine("No DWG date check conflicts!");
  std::string content;
  for (const auto& old : findings.drawings) {
    // Dots fill the name up to 32 characters (not bytes: an accented letter
    // takes two bytes in the file and one place in the column).
    std::string name = table.names[old.drawing];
    const std::size_t length = characterCount(name);
    if (length < 32) name.append(32 - length, '.');
    content += quotedLine(name + " [over " + findings.age + " old] :" + std::to_string(old.years) +
                          " year(s) & " + std::to_string(old.months) + " month(s).");
  }
  return content;
}

std::string timeReportSwitchedOff() { return quotedLine("Time conflicts not reported due to option selection."); }
std::string handleReportSwitchedOff() {
  return quotedLine("Handle conflicts not reported due to option selection.");
}
std::string ageReportSwitchedOff() {
  return quotedLine("DWG date conflicts not reported due to option selection.");
}

}  // namespace veldra
