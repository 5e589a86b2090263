#pragma once

// The main window as the tests drive it: the controls its pages own, found
// by the names they carry (the classic names), so that the tests hold to
// the names and not to where the window keeps its controls.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTextEdit>

#include "named_child.h"
#include "ui/main_window.h"
#include "ui/run_panel.h"

namespace veldra::testing {

class NamedMainWindow : public MainWindow {
 public:
  using MainWindow::MainWindow;

  QTabBar* TabStrip1 = namedChild<QTabBar>(*this, "TabStrip1");
  QPushButton* cmdExit = namedChild<QPushButton>(*this, "cmdExit");
  QPushButton* cmdHelp = namedChild<QPushButton>(*this, "cmdHelp");
  QPushButton* cmdEvidence = namedChild<QPushButton>(*this, "cmdEvidence");
  QTextEdit* RichTextBox2 = namedChild<QTextEdit>(*this, "RichTextBox2");

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

  RunPanel* runPanel = namedChild<RunPanel>(*this, "frmMainHolder");
  QComboBox* cmbEntity = namedChild<QComboBox>(*this, "cmbEntity");
  QCheckBox* chkLine = namedChild<QCheckBox>(*this, "chkLine_0");
  QCheckBox* chkOpt[3] = {namedChild<QCheckBox>(*this, "chkOpt_0"), namedChild<QCheckBox>(*this, "chkOpt_1"),
                          namedChild<QCheckBox>(*this, "chkOpt_2")};
  QComboBox* cmbPercent = namedChild<QComboBox>(*this, "cmbPercent");
  QComboBox* cmbdate = namedChild<QComboBox>(*this, "cmbdate");
  QPushButton* cmdCollect = namedChild<QPushButton>(*this, "cmdCollect");
  QPushButton* cmdCompare = namedChild<QPushButton>(*this, "cmdCompare");
  QLabel* lblLocCur = namedChild<QLabel>(*this, "lblLocCur");
  QLabel* lblFileCur = namedChild<QLabel>(*this, "lblFileCur");
  QLabel* lblSubs = namedChild<QLabel>(*this, "lblSubs");
  QProgressBar* ProgressBar1 = namedChild<QProgressBar>(*this, "ProgressBar1");
  QLabel* lblTotalFiles = namedChild<QLabel>(*this, "lblTotalFiles");
  QLabel* lblTotConflicts = namedChild<QLabel>(*this, "lblTotConflicts");
  QLabel* lblTotEntityConflicts = namedChild<QLabel>(*this, "lblTotEntityConflicts");
  QLabel* lblTotDateConflicts = namedChild<QLabel>(*this, "lblTotDateConflicts");
  QLabel* Picture1 = namedChild<QLabel>(*this, "Picture1");
  QLabel* lblStatus = namedChild<QLabel>(*this, "lblStatus");
  QLabel* lblVELDRAd = namedChild<QLabel>(*this, "lblVELDRAd");
  QLabel* lblTime = namedChild<QLabel>(*this, "lblTime");

  QListWidget* lstLocations = namedChild<QListWidget>(*this, "lstLocations");
  QPushButton* cmdAddloc = namedChild<QPushButton>(*this, "cmdAddloc");
  QPushButton* cmdRemloc = namedChild<QPushButton>(*this, "cmdRemloc");
  QPushButton* cmdJump = namedChild<QPushButton>(*this, "cmdJump");
  QComboBox* drvMain = namedChild<QComboBox>(*this, "drvMain");
  QListWidget* dirMain = namedChild<QListWidget>(*this, "dirMain");
  QCheckBox* chkSub = namedChild<QCheckBox>(*this, "chkSub_0");
};

}  // namespace veldra::testing
