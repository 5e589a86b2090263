#include "evidence/features/drawing_evidence.h"

#include <system_error>

#include "collect/native_source.h"
#include "evidence/features/content_digest.h"
#include "sketch/block_walk.h"
#include "sketch/drawing_blocks.h"

namespace veldra::evidence {

namespace {

constexpr std::int64_t kUnixEpochDay = 2440588;  // Julian day number of 1970-01-01 (from midnight)
constexpr std::int64_t kDayMs = 86400000;

std::int64_t durationMs(const veldra::dwg::StoredDate& d) {
  return static_cast<std::int64_t>(d.days) * kDayMs + d.milliseconds;
}

bool isZero(const veldra::dwg::StoredDate& d) { return d.days == 0 && d.milliseconds == 0; }

// Entities drawn inside block references taken into the evidence at most:
// a drawing of a thousand inserts of a large block is told by its first.
constexpr std::uint64_t kBlockWorkEntities = std::uint64_t{1} << 16;

std::vector<veldra::sketch::Shape> shapesOf(std::span<const EntityFacts> entities) {
  std::vector<veldra::sketch::Shape> shapes;
  shapes.reserve(entities.size());
  for (const auto& e : entities)
    shapes.push_back({e.kind, e.paperSpace, e.numbers, e.text ? std::string_view(*e.text) : std::string_view()});
  return shapes;
}

// The entities model space's block references draw, each where it lands,
// walked as the picture walks them (bounded in depth and count).
std::vector<EntityFacts> blockWork(std::span<const EntityFacts> entities, std::span<const veldra::sketch::Block> blocks) {
  std::vector<EntityFacts> found;
  if (blocks.empty()) return found;
  const auto shapes = shapesOf(entities);
  veldra::sketch::WalkLimits limits;
  limits.paperSpace = false;
  limits.maxEntities = entities.size() + kBlockWorkEntities;
  veldra::sketch::BlockWalk walk(shapes, blocks, limits);
  std::vector<double> numbers;
  for (veldra::sketch::Placed p; walk.next(p);) {
    if (p.step != veldra::sketch::Placed::kEntity || p.depth == 0 || veldra::sketch::isBlockReference(p.shape->kind))
      continue;
    if (!veldra::sketch::placedNumbers(*p.shape, p.placement, numbers)) continue;
    EntityFacts e;
    e.kind = std::string(p.shape->kind);
    e.hasHandle = false;
    e.numbers = numbers;
    if (!p.shape->text.empty()) e.text = std::string(p.shape->text);
    found.push_back(std::move(e));
  }
  return found;
}

}  // namespace

Instant instantOf(const veldra::dwg::StoredDate& date, bool universal) {
  return Instant{(static_cast<std::int64_t>(date.days) - kUnixEpochDay) * kDayMs + date.milliseconds, universal};
}

DrawingEvidence evidenceFromDrawing(const std::filesystem::path& path, const std::filesystem::path& name,
                                    std::uintmax_t fileSize, const veldra::dwg::Status& status,
                                    const veldra::dwg::Drawing& drawing) {
  DrawingEvidence out;
  DrawingFacts& f = out.facts;
  f.path = path;
  f.name = name;
  f.problem = problemOf(path, fileSize, status, drawing.summary);
  if (!status.ok()) return out;

  const auto& summary = drawing.summary;
  const auto& ev = drawing.evidence;
  f.readable = true;
  f.version = summary.version;
  const bool universal = veldra::dwg::storesUniversalTime(summary.version);
  // A zero date is what a drawing stores when it never set one.
  if (!isZero(summary.created)) f.created = instantOf(summary.created, universal);
  if (ev.updated && !isZero(*ev.updated)) f.updated = instantOf(*ev.updated, universal);
  if (ev.editingTime) f.editingMs = durationMs(*ev.editingTime);
  f.handseed = ev.handseed;
  if (ev.fingerprintGuid) f.fingerprintGuid = *ev.fingerprintGuid;
  if (ev.versionGuid) f.versionGuid = *ev.versionGuid;
  if (ev.summaryInfo) {
    f.author = ev.summaryInfo->author;
    f.lastSavedBy = ev.summaryInfo->lastSavedBy;
  }
  f.preview = ev.preview;
  f.previewNote = ev.previewNote;
  f.entityCount = summary.entities.size();

  out.entities.reserve(summary.entities.size());
  for (std::size_t i = 0; i < summary.entities.size(); ++i) {
    const auto& e = summary.entities[i];
    EntityFacts entity;
    entity.kind = e.className;
    entity.handle = e.handle;
    entity.hasHandle = e.hasHandle;
    entity.paperSpace = e.space == veldra::dwg::Space::kPaper;
    // Geometry runs parallel to the entities as far as it was read.
    if (i < drawing.geometry.size()) {
      const auto& g = drawing.geometry[i];
      entity.layer = g.layer;
      entity.numbers = g.numbers;
      entity.text = g.text;
    }
    out.entities.push_back(std::move(entity));
  }
  std::vector<std::vector<veldra::sketch::Shape>> blockShapes;
  const auto blocks = veldra::sketch::blocksOf(drawing.blocks, blockShapes);
  f.drawnPicture = DrawnPicture(drawnPictureOf(out.entities, blocks));
  auto inBlocks = blockWork(out.entities, blocks);
  out.entities.insert(out.entities.end(), std::make_move_iterator(inBlocks.begin()),
                      std::make_move_iterator(inBlocks.end()));
  return out;
}

veldra::sketch::Sketch drawnPictureOf(std::span<const EntityFacts> entities,
                                      std::span<const veldra::sketch::Block> blocks) {
  return veldra::sketch::sketchOf(shapesOf(entities), blocks);
}

DrawingEvidence readDrawingEvidence(const std::filesystem::path& path, const std::filesystem::path& name) {
  // One open and one read of the file: its size from the open file, its
  // digest from the bytes the reader holds.
  veldra::dwg::Drawing drawing;
  veldra::dwg::ReadRequest request{true, true};
  request.blocks = true;
  veldra::dwg::DrawingFile file;
  std::string digest;
  veldra::dwg::Status status = openDrawingFile(file, path);
  if (status.ok())
    status = file.read(request, drawing, [&](std::span<const std::uint8_t> bytes) { digest = contentDigest(bytes); });
  else
    drawing.summary.version = file.look().version;
  DrawingEvidence out = evidenceFromDrawing(path, name, file.look().size, status, drawing);
  out.facts.contentDigest = std::move(digest);
  return out;
}

std::string utf8Name(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string displayName(const DrawingFacts& facts) {
  const std::string name = utf8Name(facts.name.empty() ? facts.path.filename() : facts.name);
  return facts.project.empty() ? name : facts.project + ": " + name;
}

}  // namespace veldra::evidence
