#pragma once

// The main window's controls of each classic check, found by the check's
// name: its switch under "Report Options", its counter among the comparison
// statistics (captioned with the check's counter) and its option on the
// Reports page, with their classic object names, captions and places in
// twips. A check the window holds no controls for runs as its switch's
// default says and is counted nowhere in the window.

#include <QRect>

#include <string_view>

#include "ui/twips.h"

namespace veldra {

struct CheckControls {
  std::string_view check;  // Check::name()
  const char* switchName;
  const char* switchCaption;
  QRect switchBox;
  const char* headName;
  QRect headBox;
  const char* counterName;
  QRect counterBox;
  const char* reportOptionName;
  const char* reportOptionCaption;
  QRect reportOptionBox;
};

// Null for a check without controls.
inline const CheckControls* checkControls(std::string_view check) {
  static const CheckControls kControls[] = {
      {"time", "chkOpt_0", "Time Matches", twipsRect(120, 360, 2175, 255), "lblTimeHead",
       twipsRect(5280, 960, 1455, 255), "lblTotConflicts", twipsRect(6840, 960, 495, 255), "optReport_0",
       "Show Time Conflicts", twipsRect(120, 4920, 1935, 255)},
      {"handles", "chkOpt_1", "Entities =", twipsRect(120, 720, 1095, 255), "lblConflictHead",
       twipsRect(5280, 1200, 1455, 255), "lblTotEntityConflicts", twipsRect(6840, 1200, 495, 255), "optReport_1",
       "Show Entity [Handle] Conflicts", twipsRect(2040, 4920, 2775, 255)},
      {"age", "chkOpt_2", "DWG Age >=", twipsRect(120, 1080, 1335, 255), "lblDateHead",
       twipsRect(5280, 1440, 1455, 255), "lblTotDateConflicts", twipsRect(6840, 1440, 495, 255), "optReport_2",
       "Show DWG Age Conflicts", twipsRect(4560, 4920, 2175, 255)},
  };
  for (const CheckControls& controls : kControls)
    if (controls.check == check) return &controls;
  return nullptr;
}

}  // namespace veldra
