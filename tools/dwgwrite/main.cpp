// veldra-dwgwrite: writes a small drawing in a chosen version with a chosen
// creation date, identity and entities (see --help).

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "dwgwrite/command_line.h"
#include "dwgwrite/dwg_writer.h"

namespace {

using veldra::dwgwrite::parseDate;
using veldra::dwgwrite::parseEntity;
using veldra::dwgwrite::parseEntityFile;

constexpr const char* kUsage =
    "Usage: veldra-dwgwrite OUT.dwg [--version VERSION] [--date DATE] [--entity ENTITY]...\n"
    "                      [--entities FILE] [OPTION VALUE]...\n"
    "       veldra-dwgwrite [OPTION VALUE]... -- OUT.dwg\n"
    "\n"
    "Writes a drawing, by default in AC1015 (R2000).\n"
    "\n"
    "  --version VERSION  AC1012 (R13), AC1014 (R14), AC1015 (R2000), AC1018 (R2004),\n"
    "                     AC1024 (R2010), AC1027 (R2013) or AC1032 (R2018); or one\n"
    "                     before R13: AC1.40, AC1.50, AC2.10, AC1001 to AC1004,\n"
    "                     AC1006 or AC1009, with LINE, POINT, CIRCLE, ARC, TEXT and\n"
    "                     LWPOLYLINE (a polyline) entities only (no polyline and\n"
    "                     no heights in AC1.40), dates from AC1001 on, handles from\n"
    "                     AC1006 on, paper space in AC1009, no preview; layer\n"
    "                     names of at most 31 bytes.\n"
    "  --date DATE        the stored creation date TDCREATE (universal time from\n"
    "                     AC1015 on, local time before), either\n"
    "                     DAYS.FRACTION (a Julian date such as 2459632.432673611,\n"
    "                     rounded to the millisecond) or DAYS:MILLISECONDS\n"
    "                     (such as 2459632:37383000). Default 2451545:0.\n"
    "  --entity ENTITY    one entity, or a run of entities with consecutive handles:\n"
    "                     TYPE:HANDLE[:paper] or TYPE:FIRST-LAST[:paper]. TYPE is\n"
    "                     LINE, CIRCLE, ARC, ELLIPSE, POINT, LWPOLYLINE or TEXT;\n"
    "                     handles are hexadecimal (such as 28E), non-zero and\n"
    "                     unique; \":paper\" puts the entity in paper space,\n"
    "                     \":model\" or nothing in model space. Each entity gets simple\n"
    "                     geometry by its place in its space, on layer \"0\".\n"
    "  --entities FILE    entities from a text file, one ENTITY a line as above;\n"
    "                     blank lines and lines starting with # are skipped.\n"
    "  --updated DATE     TDUPDATE, as --date (default: creation plus editing time).\n"
    "  --editing-time D   TDINDWG, days and fraction or DAYS:MILLISECONDS\n"
    "                     (default 0:1500000, 25 minutes).\n"
    "  --handseed HEX     HANDSEED (default: one past the highest handle used).\n"
    "  --fingerprint-guid TEXT, --version-guid TEXT\n"
    "                     FINGERPRINTGUID and VERSIONGUID as stored, braces included\n"
    "                     (default: derived from the whole drawing).\n"
    "  --layer NAME       a named layer besides \"0\" (entities stay on \"0\").\n"
    "  --summary FIELD=TEXT\n"
    "                     summary information from AC1018 on: title, subject, author,\n"
    "                     keywords, comments, lastsavedby, revisionnumber,\n"
    "                     hyperlinkbase.\n"
    "  --preview FILE     the preview picture: a .bmp, .png (AC1018 on) or .wmf file.\n"
    "\n"
    "Entities keep the order given within each space. The writer's own objects\n"
    "take the lowest handles that no entity uses.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsage;
    return 0;
  }
  veldra::dwgwrite::DrawingSpec plan;
  plan.days = 2451545;
  std::string out;
  bool operands = false;  // after "--": the output file, as it is
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string problem;
    if (operands || arg == "--") {
      if (!operands) operands = true;
      else if (out.empty() && !arg.empty()) out = arg;
      else problem = "unexpected argument \"" + arg + "\"";
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--date" || arg == "--entity" || arg == "--entities") {
      if (i + 1 >= args.size()) {
        std::cerr << "veldra-dwgwrite: " << arg << " needs a value\n";
        return 2;
      }
      const std::string& value = args[++i];
      if (arg == "--date") {
        problem = parseDate(value, plan);
      } else if (arg == "--entity") {
        problem = parseEntity(value, plan);
      } else {
        problem = parseEntityFile(value, plan);
      }
    } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0 && i + 1 < args.size()) {
      bool known = false;
      problem = veldra::dwgwrite::parseOption(std::string_view(arg).substr(2), args[i + 1], plan, known);
      if (known) {
        ++i;
      } else {
        problem = "unexpected argument \"" + arg + "\"";
      }
    } else if (!arg.empty() && arg[0] != '-' && out.empty()) {
      out = arg;
    } else {
      problem = "unexpected argument \"" + arg + "\"";
    }
    if (!problem.empty()) {
      std::cerr << "veldra-dwgwrite: " << problem << "\n";
      return 2;
    }
  }
  if (out.empty()) {
    std::cerr << "veldra-dwgwrite: no output file given\n" << kUsage;
    return 2;
  }
  if (std::string problem = veldra::dwgwrite::writeDrawingFile(out, plan); !problem.empty()) {
    std::cerr << "veldra-dwgwrite: " << problem << "\n";
    return 1;
  }
  return 0;
}
