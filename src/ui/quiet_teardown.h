#pragma once

#include <QObject>

namespace veldra {

// Called first thing in the destructor of a window or page: a control that
// goes may still speak (a box hands the focus away and reports its text, a
// tab strip that loses its pages reports a new current one), and nothing it
// says may reach the handlers of an owner whose members are already gone.
inline void stopListeningToChildren(QObject* owner) {
  for (QObject* child : owner->findChildren<QObject*>()) {
    child->disconnect(owner);
    child->removeEventFilter(owner);
  }
}

}  // namespace veldra
