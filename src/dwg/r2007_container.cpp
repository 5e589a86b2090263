#include "sections.h"

namespace veldra::dwg::detail {

Status readR2007Sections(std::span<const std::uint8_t> /*file*/, Sections& /*out*/) {
  return {ErrorKind::kUnsupported, "AC1021 drawings are not read yet", 0, ""};
}

}  // namespace veldra::dwg::detail
