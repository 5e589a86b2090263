#include "compare/classic_reports.h"

#include <cmath>

#include "app/textfile.h"
#include "app/utf8_text.h"
#include "record/record_format.h"

namespace veldra {

std::string timeConflictLine(const std::string& first, const std::string& second, double julian) {
  const TimeOfDay t = timeOfDay(julian);
  return first + " vs. " + second + " at " + std::to_string(t.hours) + " hours, " +
         std::to_string(t.minutes) + " minutes, " + std::to_string(t.seconds) + " seconds [" +
         julianText(julian) + " as Julian]";
}

namespace {

// One line of a report: the text in double quotes, then CR LF.
void writeLine(std::ostream& out, std::string_view text) {
  out << '"' << text << '"' << kLineEnd;
}

}  // namespace

void writeTimeReport(std::ostream& out, const TimeFindings& findings, const DrawingTable& table) {
  if (findings.pairs.empty()) return writeLine(out, "No time conflicts!");
  for (const auto& pair : findings.pairs) {
    if (!out) return;
    writeLine(out, timeConflictLine(table.names[pair.first], table.names[pair.second], pair.created));
  }
}

void writeHandleReport(std::ostream& out, const HandleFindings& findings, const DrawingTable& table) {
  if (findings.pairs.empty())
    return writeLine(out, "No entity [" + findings.entity + "] conflicts >= " + findings.percent + "% match!");
  for (const auto& match : findings.pairs) {
    if (!out) return;
    const std::string shown = std::to_string(static_cast<long long>(std::round(match.percentage())));
    const std::string names = table.names[match.first] + " vs. " + table.names[match.second];
    if (match.full()) {
      writeLine(out, "** " + names + " has a " + shown + "% " + findings.entity + " handle match [" +
                         std::to_string(match.matched) + " total].");
    } else if (match.firstCount > match.secondCount) {
      writeLine(out, names + " has a " + shown + "% / 100% " + findings.entity + " handle match.");
    } else {
      writeLine(out, names + " has a 100% / " + shown + "% " + findings.entity + " handle match.");
    }
  }
}

void writeAgeReport(std::ostream& out, const AgeFindings& findings, const DrawingTable& table) {
  if (findings.drawings.empty()) return writeLine(out, "No DWG date check conflicts!");
  for (const auto& old : findings.drawings) {
    if (!out) return;
    // Dots fill the name up to 32 characters (not bytes: an accented letter
    // takes two bytes in the file and one place in the column).
    std::string name = table.names[old.drawing];
    const std::size_t length = characterCount(name);
    if (length < 32) name.append(32 - length, '.');
    writeLine(out, name + " [over " + findings.age + " old] :" + std::to_string(old.years) + " year(s) & " +
                       std::to_string(old.months) + " month(s).");
  }
}

}  // namespace veldra
