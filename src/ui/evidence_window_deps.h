#pragma once

// What the evidence window needs from outside: the file manager, the file
// dialogs, the print dialog and message boxes. The program leaves them empty
// and gets the platform's; tests answer them.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

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
};

}  // namespace veldra
