#pragma once

#include "app/messages.h"

class QWidget;

namespace veldra {

// Real message boxes, owned by a parent window.
class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void show(const std::string& text, const std::string& title, MessageIcon icon) override;
  bool ask(const std::string& question, const std::string& title) override;

 private:
  QWidget* parent_;
};

}  // namespace veldra
