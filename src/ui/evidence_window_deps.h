#pragma once

// What the evidence window needs from outside: the file manager, the file
// dialogs, the print dialog, message boxes and the check itself. The program
// leaves them empty and gets the platform's and the real check; tests answer
// them.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

#include "evidence/run/evidence_run.h"

class QPrinter;

namespace veldra {

class MessageBoxes;
class PrintDialog;

// Opens a folder in the file manager.
class FolderOpener {
 public:
  virtual ~FolderOpener() = default;
  virtual bool openFolder(const QString& folder) = 0;
};

struct EvidenceWindowDeps {
  MessageBoxes* messages = nullptr;
  FolderOpener* folders = nullptr;
  // A file to write (caption, suggested file name); empty when cancelled.
  std::function<QString(const QString&, const QString&)> chooseSaveFile;
  // Drawings to add as templates; empty when cancelled.
  std::function<QStringList(const QString&)> chooseDrawings;
  // The print dialog on the window's printer.
  std::function<std::unique_ptr<PrintDialog>(QPrinter&)> printDialog;
  // Start the check as soon as the window opens.
  bool runOnOpen = true;
  // The check, run off the GUI thread; empty for evidence::runEvidenceCheck.
  std::function<evidence::RunResult(const Workspace&, const std::string&, const evidence::EvidenceSettings&,
                                    const evidence::RunControl&)>
      runCheck;
};

}  // namespace veldra
