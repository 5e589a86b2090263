// Feeds the objects readers directly, of the entity lists and of geometry: a
// release byte, the maintenance release (also taken as the code page of
// 8-bit texts), then the class definitions and the object map (each preceded
// by its length) and the objects. The object map and the class list are read
// first, as the summary reads them, and a class list that fails is left empty.

#include "section_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace veldra::dwg;
  fuzzing::SectionInput input;
  if (!fuzzing::splitInput({data, size}, 3, input)) return 0;
  detail::Sections sections;
  sections.maintenance = input.maintenance;
  sections.classes.assign(input.parts[0].begin(), input.parts[0].end());
  sections.handles.assign(input.parts[1].begin(), input.parts[1].end());
  sections.objects.assign(input.parts[2].begin(), input.parts[2].end());
  detail::ClassTable classes;
  if (!detail::readClassesSection(sections, input.release, classes).ok()) classes.clear();
  detail::ObjectMap map;
  std::vector<Damage> damage;
  Status status = detail::readObjectMap(sections, map, damage);
  fuzzing::checkResult(status, {}, damage);
  if (!status.ok()) return 0;
  std::vector<Entity> entities;
  status = detail::readEntities(sections, input.release, classes, map, entities, damage);
  fuzzing::checkResult(status, entities, damage);
  if (!status.ok()) return 0;
  if (entities.size() > map.size()) __builtin_trap();

  sections.codePage = input.maintenance % 48;
  std::vector<EntityGeometry> geometry;
  detail::readGeometry(sections, input.release, map, entities, geometry, damage);
  fuzzing::checkResult(Status::Ok(), entities, damage);
  if (geometry.size() != entities.size()) __builtin_trap();
  for (const EntityGeometry& g : geometry)
    if (!fuzzing::validUtf8(g.layer) || (g.text && !fuzzing::validUtf8(*g.text))) __builtin_trap();
  return 0;
}
