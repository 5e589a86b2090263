#include "format.h"
namespace veldra::dwg::detail {
Status readGeometry(const Sections&, Release, const ObjectMap&, const std::vector<Entity>& entities,
                    std::vector<EntityGeometry>& geometry, std::vector<Damage>&) {
  geometry.assign(entities.size(), EntityGeometry{});
  return Status::Ok();
}
}
