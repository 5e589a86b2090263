#include "ui/first_start_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qt_text.h"

namespace veldra {

FirstStartPrompts::Answer DialogFirstStartPrompts::offer() {
  QDialog dialog;
  dialog.setObjectName(QStringLiteral("frmfirststart"));
  dialog.setWindowTitle(QStringLiteral("VELDRA - first start"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(
      QStringLiteral("<p><b>Welcome to VELDRA.</b></p>"
                     "<p>VELDRA keeps your projects, the records of its checks and its reports in a "
                     "workspace folder. There is none yet.</p>"
                     "<p>Create one now: choose a folder, and VELDRA lays the workspace down in it "
                     "(in a new folder VELDRA when the one chosen already holds other files) and "
                     "opens it every time it starts.</p>"),
      &dialog);
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* sample = new QCheckBox(QStringLiteral("Add the sample class: a project of example drawings "
                                              "with copies in it, to try the checks on"),
                               &dialog);
  sample->setObjectName(QStringLiteral("chkSample"));
  sample->setChecked(sampleOffered_);
  sample->setVisible(sampleOffered_);
  layout->addWidget(sample);
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* create = buttons->addButton(QStringLiteral("Create a workspace..."), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Quit"), QDialogButtonBox::RejectRole);
  create->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  Answer answer;
  answer.create = dialog.exec() == QDialog::Accepted;
  answer.addSample = sampleOffered_ && sample->isChecked();
  return answer;
}

std::optional<std::filesystem::path> DialogFirstStartPrompts::chooseFolder(const std::filesystem::path& suggested) {
  const QString folder = QFileDialog::getExistingDirectory(
      nullptr, QStringLiteral("Choose the folder for the VELDRA workspace"),
      qtPath(suggested));
  if (folder.isEmpty()) return std::nullopt;
  return fsPath(folder);
}

void DialogFirstStartPrompts::tell(const std::string& text, bool problem) {
  QMessageBox box(problem ? QMessageBox::Warning : QMessageBox::Information, QStringLiteral("VELDRA"),
                  qtText(text));
  box.exec();
}

}  // namespace veldra
