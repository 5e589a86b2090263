// veldra-fuzzseeds SEEDS_DIR [DRAWING...]: writes the seeds of the section
// fuzz targets from the sections of the given drawings and of drawings made
// by the test writer, one small file per drawing and target under
// SEEDS_DIR/<target>/, and the written drawings whole as seeds of the
// re-encoding target. The objects seeds keep only the objects the summary
// reads (the block table, the block records and the listed entities), with
// an object map made for them.

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>

#include "bit_reader.h"
#include "dwgwrite/dwg_writer.h"
#include "format.h"
#include "object_types.h"
#include "section_input.h"
#include "dwgwrite/r13_repack.h"

namespace {

namespace fs = std::filesystem;
namespace detail = veldra::dwg::detail;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMaxSeedSize = 80 * 1024;

struct Decoded {
  detail::Release release{};
  detail::Sections sections;
};

bool decode(const Bytes& file, Decoded& out) {
  if (file.size() < 6 || !detail::releaseOf(std::string(file.begin(), file.begin() + 6), out.release)) return false;
  veldra::dwg::Status s;
  if (out.release <= detail::Release::kR2000) {
    s = detail::readR13Sections(file, out.sections);
  } else if (out.release == detail::Release::kR2007) {
    s = veldra::dwg::detail::readR2007Sections(file, out.sections);
  } else {
    s = detail::readR2004Sections(file, out.sections);
  }
  return s.ok();
}

// The type of the object at `offset` and where it ends, its CRC included.
bool objectAt(const Decoded& d, std::uint64_t offset, std::uint16_t& type, std::size_t& end) {
  const auto& objects = d.sections.objects;
  detail::BitReader sizes(objects, offset * 8, objects.size() * 8);
  const std::uint64_t size = sizes.readMS();
  if (d.release >= detail::Release::kR2010) sizes.readUMC();
  const std::uint64_t dataStart = sizes.position();
  if (sizes.failed() || dataStart / 8 + size + 2 > objects.size()) return false;
  detail::BitReader body(objects, dataStart, dataStart + size * 8);
  type = d.release >= detail::Release::kR2010 ? body.readOT() : static_cast<std::uint16_t>(body.readBS());
  end = static_cast<std::size_t>(dataStart / 8 + size + 2);
  return !body.failed();
}

bool save(const fs::path& dir, const std::string& target, const std::string& name, const Bytes& seed) {
  if (seed.size() > kMaxSeedSize) {
    std::cout << "skipped " << target << "/" << name << " (" << seed.size() << " bytes)\n";
    return false;
  }
  fs::create_directories(dir / target);
  std::ofstream out(dir / target / (name + ".bin"), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
  return static_cast<bool>(out);
}

// The objects the summary reads, laid out one after another, and their map.
bool compactObjects(const Decoded& d, Bytes& objects, Bytes& handles) {
  detail::ObjectMap map;
  detail::ClassTable classes;
  std::vector<veldra::dwg::Entity> entities;
  std::vector<veldra::dwg::Damage> damage;
  if (!detail::readObjectMap(d.sections, map, damage).ok() ||
      !detail::readClassesSection(d.sections, d.release, classes).ok() ||
      !detail::readEntities(d.sections, d.release, classes, map, entities, damage).ok())
    return false;
  std::set<std::uint64_t> keep;
  for (const auto& entity : entities) keep.insert(entity.handle);
  for (const auto& [handle, offset] : map) {
    std::uint16_t type = 0;
    std::size_t end = 0;
    if (objectAt(d, offset, type, end) && (type == detail::kBlockControlType || type == detail::kBlockHeaderType))
      keep.insert(handle);
  }
  std::vector<std::pair<std::uint64_t, std::uint64_t>> entries;
  objects.clear();
  for (std::uint64_t handle : keep) {
    const std::uint64_t offset = map.at(handle);
    std::uint16_t type = 0;
    std::size_t end = 0;
    if (!objectAt(d, offset, type, end)) return false;
    entries.emplace_back(handle, objects.size());
    objects.insert(objects.end(), d.sections.objects.begin() + static_cast<std::ptrdiff_t>(offset),
                   d.sections.objects.begin() + static_cast<std::ptrdiff_t>(end));
  }
  handles = veldra::dwgwrite::encodeObjectMap(entries);

  // The kept objects must give the same summary.
  detail::Sections compact;
  compact.maintenance = d.sections.maintenance;
  compact.objects = objects;
  compact.handles = handles;
  detail::ObjectMap compactMap;
  std::vector<veldra::dwg::Entity> again;
  return detail::readObjectMap(compact, compactMap, damage).ok() &&
         detail::readEntities(compact, d.release, classes, compactMap, again, damage).ok() &&
         again.size() == entities.size();
}

// Whole drawings become seeds only when written here: the sample drawings
// stay out of the repository.
void writeSeeds(const fs::path& dir, const std::string& name, const Bytes& file, bool written) {
  Decoded d;
  if (!decode(file, d)) {
    std::cout << "cannot read " << name << "\n";
    return;
  }
  using veldra::dwg::fuzzing::joinInput;
  const auto& s = d.sections;
  save(dir, "fuzz_dwg_header", name, joinInput(d.release, s.maintenance, {s.header}));
  save(dir, "fuzz_dwg_classes", name, joinInput(d.release, s.maintenance, {s.classes}));
  Bytes map(4, 0);
  const std::size_t objectsSize = std::min<std::size_t>(s.objects.size(), 0xFFFFFF);
  for (int i = 0; i < 3; ++i) map[i] = static_cast<std::uint8_t>(objectsSize >> (8 * i));
  map.insert(map.end(), s.handles.begin(), s.handles.end());
  save(dir, "fuzz_dwg_object_map", name, joinInput(d.release, s.maintenance, {map}));
  Bytes objects;
  Bytes handles;
  if (compactObjects(d, objects, handles)) {
    save(dir, "fuzz_dwg_objects", name, joinInput(d.release, s.maintenance, {s.classes, handles, objects}));
  } else {
    std::cout << "no objects seed from " << name << "\n";
  }
  if (written && d.release != detail::Release::kR2007 && file.size() <= kMaxSeedSize)
    save(dir, "fuzz_dwg_reencode", name, file);
}

// Drawings of the test writer: a few kinds in both spaces in every version
// it writes; empty, and with enough entities for an object map of several
// blocks, in the oldest and newest of the common versions.
std::vector<std::pair<std::string, veldra::dwgwrite::DrawingSpec>> writerPlans() {
  using veldra::dwgwrite::DrawingSpec;
  const char* kinds[] = {"LINE", "CIRCLE", "ARC", "POINT", "TEXT"};
  std::vector<std::pair<std::string, DrawingSpec>> plans;
  for (const std::string& version : veldra::dwgwrite::knownVersions()) {
    DrawingSpec mixed{2459632, 37383000, {}};
    mixed.version = version;
    for (std::uint64_t i = 0; i < 15; ++i) mixed.entities.push_back({kinds[i % 5], 0x100 + i, i % 4 == 3});
    plans.emplace_back("writer_mixed_" + version, mixed);
  }
  for (const std::string version : {"AC1015", "AC1032"}) {
    DrawingSpec empty{2451545, 0, {}};
    empty.version = version;
    DrawingSpec many{2460000, 1, {}};
    many.version = version;
    for (std::uint64_t i = 0; i < 700; ++i) many.entities.push_back({kinds[i % 5], 0x40 + 3 * i, i % 7 == 0});
    plans.emplace_back("writer_empty_" + version, empty);
    plans.emplace_back("writer_many_" + version, many);
  }
  return plans;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: veldra-fuzzseeds SEEDS_DIR [DRAWING...]\n";
    return 2;
  }
  const fs::path dir = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    writeSeeds(dir, fs::path(argv[i]).stem().string(), file, false);
  }
  for (const auto& [name, plan] : writerPlans()) {
    Bytes file;
    if (const std::string problem = veldra::dwgwrite::writeDrawing(plan, file); !problem.empty()) {
      std::cerr << name << ": " << problem << "\n";
      return 1;
    }
    writeSeeds(dir, name, file, true);
  }
  return 0;
}
