#pragma once

#include "app/messages.h"

class QWidget;

namespace veldra {

// Real message boxes with an OK button, owned by a parent window.
class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void show(const std::string& text, const std::string& title, MessageIcon icon) override;

 private:
  QWidget* parent_;
};

}  // namespace veldra
