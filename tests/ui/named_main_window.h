#pragma once

// The main window as the tests drive it: the controls its pages own, found
// by the names they carry (the classic names), so that the tests hold to
// the names and not to where the window keeps its controls.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

#include "named_child.h"
#include "ui/main_window.h"

namespace veldra::testing {

class NamedMainWindow : public MainWindow {
 public:
  using MainWindow::MainWindow;

  QListWidget* lstProjects = namedChild<QListWidget>(*this, "lstProjects");
  QLineEdit* txtProject = namedChild<QLineEdit>(*this, "txtProject");
  QPushButton* cmdAddproj = namedChild<QPushButton>(*this, "cmdAddproj");
  QPushButton* cmdRemproj = namedChild<QPushButton>(*this, "cmdRemproj");

  QLabel* lblProject[2] = {namedChild<QLabel>(*this, "lblProject_0"), namedChild<QLabel>(*this, "lblProject_1")};
  QTextEdit* RichTextBox1 = namedChild<QTextEdit>(*this, "RichTextBox1");
  QRadioButton* optReport[3] = {namedChild<QRadioButton>(*this, "optReport_0"),
                                namedChild<QRadioButton>(*this, "optReport_1"),
                                namedChild<QRadioButton>(*this, "optReport_2")};
  QPushButton* cmdPrint = namedChild<QPushButton>(*this, "cmdPrint");
  QPushButton* cmdWhatnext = namedChild<QPushButton>(*this, "cmdWhatnext");

  QListWidget* lstLocations = namedChild<QListWidget>(*this, "lstLocations");
  QPushButton* cmdAddloc = namedChild<QPushButton>(*this, "cmdAddloc");
  QPushButton* cmdRemloc = namedChild<QPushButton>(*this, "cmdRemloc");
  QPushButton* cmdJump = namedChild<QPushButton>(*this, "cmdJump");
  QComboBox* drvMain = namedChild<QComboBox>(*this, "drvMain");
  QListWidget* dirMain = namedChild<QListWidget>(*this, "dirMain");
  QCheckBox* chkSub = namedChild<QCheckBox>(*this, "chkSub_0");
};

}  // namespace veldra::testing
