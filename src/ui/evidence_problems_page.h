#pragma once

// The problem drawings page of the evidence window: each drawing of the
// project that could not be read, or only in part, with the reader's reason.

#include <QWidget>

#include <cstddef>

#include "evidence/judging/findings.h"

class QTableWidget;

namespace veldra {

class EvidenceProblemsPage : public QWidget {
  Q_OBJECT

 public:
  explicit EvidenceProblemsPage(QWidget* parent = nullptr);
  // Lists the problem drawings of the findings; returns how many there are.
  std::size_t setFindings(const evidence::Findings& findings);

 private:
  QTableWidget* problemTable_ = nullptr;
};

}  // namespace veldra
