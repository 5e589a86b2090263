#pragma once

// The settings page of the evidence window: the project's evidence settings
// (template drawings, earlier projects to compare against, author names to
// ignore, the term, the scores of a copy and a likely copy), read from the
// evidence store and kept there.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <string>

#include "app/workspace.h"
#include "evidence/features/settings.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace veldra {

class EvidenceSettingsPage : public QWidget {
  Q_OBJECT

 public:
  // Drawings to add as templates (caption); empty when cancelled.
  using ChooseDrawings = std::function<QStringList(const QString&)>;
  EvidenceSettingsPage(const Workspace& workspace, std::string project, ChooseDrawings chooseDrawings,
                       QWidget* parent = nullptr);
  ~EvidenceSettingsPage() override;

  // Fills the controls from the saved settings. When they cannot be read the
  // controls hold none, the page says why, and `problem` gets the same text.
  bool load(QString& problem);
  // The saved settings could not be read when last tried.
  bool unread() const { return unread_; }
  // The settings as the controls hold them.
  evidence::EvidenceSettings settings() const;
  // Keeps the settings of the controls in the store, saying on the page how that went.
  void save();

 private:
  void addTemplates();

  Workspace workspace_;
  std::string project_;
  ChooseDrawings chooseDrawings_;
  bool unread_ = false;

  QListWidget* templateList_ = nullptr;
  QPushButton* addTemplate_ = nullptr;
  QPushButton* removeTemplate_ = nullptr;
  QListWidget* againstList_ = nullptr;
  QPlainTextEdit* ignoredAuthors_ = nullptr;
  QLineEdit* termEdit_ = nullptr;
  QLineEdit* sharedStoreEdit_ = nullptr;
  QSpinBox* copyThreshold_ = nullptr;
  QSpinBox* likelyThreshold_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace veldra
