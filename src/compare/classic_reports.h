#pragma once

// The classic report files, byte for byte: every line one quoted text ended
// by CR LF. Users keep these files and other programs read them; their texts
// never change. The reports are written to a stream line by line, so that a
// report of many conflicts is never held whole in memory.

#include <ostream>
#include <string>

#include "compare/age_check.h"
#include "compare/handle_check.h"
#include "compare/time_check.h"

namespace veldra {

void writeTimeReport(std::ostream& out, const TimeFindings& findings, const DrawingTable& table);
void writeHandleReport(std::ostream& out, const HandleFindings& findings, const DrawingTable& table);
void writeAgeReport(std::ostream& out, const AgeFindings& findings, const DrawingTable& table);

// One line of the time report, without its quotes.
std::string timeConflictLine(const std::string& first, const std::string& second, double julian);

}  // namespace veldra
