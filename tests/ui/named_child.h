#pragma once

#include <QObject>

#include <gtest/gtest.h>

namespace veldra::testing {

// The one widget of the type with the name, failing the test when there is
// none or more than one: a test reaches a window's controls by the names
// they carry, as a tool that drives the window does.
template <class T>
T* namedChild(const QObject& parent, const char* name) {
  const auto found = parent.findChildren<T*>(QLatin1String(name));
  if (found.size() != 1) {
    ADD_FAILURE() << parent.objectName().toStdString() << " has " << found.size() << " controls named " << name;
    return nullptr;
  }
  return found.front();
}

}  // namespace veldra::testing
