#pragma once

// The classic report files, byte for byte: every line one quoted text ended
// by CR LF. Users keep these files and other programs read them; their texts
// never change.

#include <string>

#include "compare/age_check.h"
#include "compare/handle_check.h"
#include "compare/time_check.h"

namespace veldra {

std::string timeReport(const TimeFindings& findings, const DrawingTable& table);
std::string handleReport(const HandleFindings& findings, const DrawingTable& table);
std::string ageReport(const AgeFindings& findings, const DrawingTable& table);

// The one line of a report whose check was switched off.
std::string timeReportSwitchedOff();
std::string handleReportSwitchedOff();
std::string ageReportSwitchedOff();

// One line of the time report, without its quotes.
std::string timeConflictLine(const std::string& first, const std::string& second, double julian);

}  // namespace veldra
