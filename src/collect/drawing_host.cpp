#include "collect/drawing_host.h"

namespace veldra {

bool connectDrawingHost(DrawingHost& host) {
  if (!host.attach() && !host.start()) return false;
  host.makeVisible();
  host.takeActiveDocument();
  return true;
}

}  // namespace veldra
