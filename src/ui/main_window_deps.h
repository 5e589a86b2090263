#pragma once

#include <QDate>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/evidence_window_deps.h"

class QPrinter;

namespace veldra {

class MessageBoxes;
class DrawingSource;
class Volumes;
class AlarmSound;
class RunClock;
class FileDevice;
class PrintDialog;
class PrintSurface;

// What the main window needs from outside. The program fills it with the
// real implementations; tests with recorders. Later steps add fields here.
struct MainWindowDeps {
  MessageBoxes* messages = nullptr;
  DrawingSource* source = nullptr;
  Volumes* volumes = nullptr;
  // How long the splash window stays up at start.
  std::chrono::milliseconds splashDuration{2000};
  // Today's date for the status bar.
  std::function<QDate()> today = [] { return QDate::currentDate(); };
  // The base folder; when not given, start-up reads it from the settings store.
  std::optional<std::filesystem::path> installLoc;
  // Ends the program after the window has saved what it keeps.
  std::function<void()> endProgram;
  // The conflict alarm's sound; none (silence) when not given.
  AlarmSound* sound = nullptr;
  // The runs' clock and today's year and month; the system's when not given.
  RunClock* runClock = nullptr;
  // Where the runs write the record file and the reports; the disk when not
  // given.
  FileDevice* files = nullptr;
  // The print dialog and the drawing surface that Print uses on the window's
  // printer; the platform's dialog and the printer itself when not given.
  std::function<std::unique_ptr<PrintDialog>(QPrinter&)> printDialog;
  std::function<std::unique_ptr<PrintSurface>(QPrinter&)> printSurface;
  // What the evidence window opened by Evidence... gets; the platform's
  // dialogs and file manager where left empty.
  EvidenceWindowDeps evidence;
};

}  // namespace veldra
