#include "ui/evidence_settings_page.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "evidence/run/evidence_run.h"
#include "projects/project_store.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"

namespace veldra {

EvidenceSettingsPage::EvidenceSettingsPage(const Workspace& workspace, std::string project,
                                           ChooseDrawings chooseDrawings, QWidget* parent)
    : QWidget(parent), workspace_(workspace), project_(std::move(project)), chooseDrawings_(std::move(chooseDrawings)) {
  setObjectName(QStringLiteral("settingsPage"));
  auto* layout = new QVBoxLayout(this);

  auto* templates =
      new QGroupBox(QStringLiteral("Template drawings: their entities, handles and identity count for nothing"), this);
  auto* tLayout = new QGridLayout(templates);
  templateList_ = new QListWidget(templates);
  templateList_->setObjectName(QStringLiteral("templateList"));
  addTemplate_ = new QPushButton(QStringLiteral("&Add..."), templates);
  addTemplate_->setObjectName(QStringLiteral("addTemplate"));
  removeTemplate_ = new QPushButton(QStringLiteral("R&emove"), templates);
  removeTemplate_->setObjectName(QStringLiteral("removeTemplate"));
  tLayout->addWidget(templateList_, 0, 0, 3, 1);
  tLayout->addWidget(addTemplate_, 0, 1);
  tLayout->addWidget(removeTemplate_, 1, 1);
  tLayout->setRowStretch(2, 1);
  layout->addWidget(templates, 2);

  auto* lower = new QHBoxLayout;
  auto* against = new QGroupBox(QStringLiteral("Compare against earlier projects (judged before)"), this);
  auto* aLayout = new QVBoxLayout(against);
  againstList_ = new QListWidget(against);
  againstList_->setObjectName(QStringLiteral("againstList"));
  aLayout->addWidget(againstList_);
  lower->addWidget(against, 1);

  auto* people = new QGroupBox(QStringLiteral("Author names to ignore (shared logins), one a line"), this);
  auto* pLayout = new QVBoxLayout(people);
  ignoredAuthors_ = new QPlainTextEdit(people);
  ignoredAuthors_->setObjectName(QStringLiteral("ignoredAuthors"));
  ignoredAuthors_->setTabChangesFocus(true);
  pLayout->addWidget(ignoredAuthors_);
  lower->addWidget(people, 1);
  layout->addLayout(lower, 2);

  auto* form = new QFormLayout;
  termEdit_ = new QLineEdit(this);
  termEdit_->setObjectName(QStringLiteral("termEdit"));
  termEdit_->setPlaceholderText(QStringLiteral("e.g. autumn 2026"));
  form->addRow(QStringLiteral("&Term of this project:"), termEdit_);
  copyThreshold_ = new QSpinBox(this);
  copyThreshold_->setObjectName(QStringLiteral("copyThreshold"));
  copyThreshold_->setRange(2, 100);
  likelyThreshold_ = new QSpinBox(this);
  likelyThreshold_->setObjectName(QStringLiteral("likelyThreshold"));
  likelyThreshold_->setRange(1, 99);
  // A likely copy stays below a copy.
  connect(copyThreshold_, &QSpinBox::valueChanged, this, [this](int v) { likelyThreshold_->setMaximum(v - 1); });
  form->addRow(QStringLiteral("A cop&y from score:"), copyThreshold_);
  form->addRow(QStringLiteral("A &likely copy from score:"), likelyThreshold_);
  // The workspace's evidence in a department's database instead of its own
  // file; the password stays with libpq (~/.pgpass), never here.
  sharedStoreEdit_ = new QLineEdit(this);
  sharedStoreEdit_->setObjectName(QStringLiteral("sharedStoreEdit"));
  sharedStoreEdit_->setPlaceholderText(QStringLiteral("empty: this workspace's own; or postgresql://server/database"));
  form->addRow(QStringLiteral("Shared evidence st&ore:"), sharedStoreEdit_);
  layout->addLayout(form);

  auto* buttons = new QHBoxLayout;
  saveButton_ = new QPushButton(QStringLiteral("Sa&ve settings"), this);
  saveButton_->setObjectName(QStringLiteral("saveSettingsButton"));
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("settingsStatus"));
  status_->setWordWrap(true);
  buttons->addWidget(saveButton_);
  buttons->addWidget(status_, 1);
  layout->addLayout(buttons);

  // The lists take the room there is, from three lines up, so that the
  // thresholds and the button stay in view on a small screen.
  for (QWidget* list : std::initializer_list<QWidget*>{templateList_, againstList_, ignoredAuthors_}) {
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    list->setMinimumHeight(list->fontMetrics().lineSpacing() * 3 + 12);
  }

  connect(addTemplate_, &QPushButton::clicked, this, &EvidenceSettingsPage::addTemplates);
  connect(removeTemplate_, &QPushButton::clicked, this, [this] { delete templateList_->currentItem(); });
  connect(saveButton_, &QPushButton::clicked, this, &EvidenceSettingsPage::save);
}

EvidenceSettingsPage::~EvidenceSettingsPage() { stopListeningToChildren(this); }

void EvidenceSettingsPage::addTemplates() {
  for (const QString& file : chooseDrawings_(QStringLiteral("Template drawings")))
    if (templateList_->findItems(file, Qt::MatchExactly).isEmpty()) templateList_->addItem(file);
}

bool EvidenceSettingsPage::load(QString& problem) {
  const auto saved = evidence::loadProjectSettings(workspace_, project_);
  unread_ = !saved;
  if (!saved) {
    problem = QStringLiteral("The saved settings could not be read: %1. Nothing is judged until they "
                             "can be; the last report stands.")
                  .arg(qtText(saved.message()));
    status_->setText(problem);
    return false;
  }
  const evidence::EvidenceSettings& s = *saved;
  sharedStoreEdit_->setText(qtText(evidence::sharedStore(workspace_)));
  templateList_->clear();
  for (const auto& t : s.templates) templateList_->addItem(textOf(t));
  againstList_->clear();
  std::vector<std::string> names = readProjects(workspace_).value_or(std::vector<std::string>{});
  for (const auto& a : s.against)  // an earlier project no longer listed may still be in the store
    if (std::find(names.begin(), names.end(), a) == names.end()) names.push_back(a);
  if (!evidence::sharedStore(workspace_).empty())  // every teacher's earlier projects
    if (const auto kept = evidence::storedProjects(workspace_))
      for (const auto& p : *kept)
        if (std::find(names.begin(), names.end(), p.name) == names.end()) names.push_back(p.name);
  for (const auto& name : names) {
    if (name == project_) continue;
    auto* item = new QListWidgetItem(qtText(name), againstList_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    const bool chosen = std::find(s.against.begin(), s.against.end(), name) != s.against.end();
    item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
  }
  QStringList authors;
  for (const auto& n : s.ignoredAuthors) authors << qtText(n);
  ignoredAuthors_->setPlainText(authors.join(QLatin1Char('\n')));
  termEdit_->setText(qtText(s.term));
  const auto th = evidence::checkedThresholds(s.thresholds);
  copyThreshold_->setValue(th.copy);
  likelyThreshold_->setMaximum(th.copy - 1);
  likelyThreshold_->setValue(th.likelyCopy);
  status_->clear();
  return true;
}

evidence::EvidenceSettings EvidenceSettingsPage::settings() const {
  evidence::EvidenceSettings s;
  for (int k = 0; k < templateList_->count(); ++k) s.templates.push_back(pathOf(templateList_->item(k)->text()));
  for (int k = 0; k < againstList_->count(); ++k)
    if (againstList_->item(k)->checkState() == Qt::Checked)
      s.against.push_back(againstList_->item(k)->text().toStdString());
  for (const QString& line : ignoredAuthors_->toPlainText().split(QLatin1Char('\n'))) {
    const QString name = line.simplified();
    if (!name.isEmpty()) s.ignoredAuthors.push_back(name.toStdString());
  }
  s.term = termEdit_->text().trimmed().toStdString();
  s.thresholds = evidence::checkedThresholds({copyThreshold_->value(), likelyThreshold_->value()});
  return s;
}

void EvidenceSettingsPage::save() {
  const std::string shared = sharedStoreEdit_->text().trimmed().toStdString();
  if (shared != evidence::sharedStore(workspace_))
    if (const Status chosen = evidence::chooseSharedStore(workspace_, shared); !chosen) {
      status_->setText(QStringLiteral("Not saved: %1").arg(qtText(chosen.message())));
      return;
    }
  if (const Status saved = evidence::saveProjectSettings(workspace_, project_, settings())) {
    unread_ = false;
    status_->setText(QStringLiteral("Saved."));
  } else {
    status_->setText(QStringLiteral("Not saved: %1").arg(qtText(saved.message())));
  }
}

}  // namespace veldra
