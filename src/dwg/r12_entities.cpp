// The entity sections of drawings older than R13. From AC1.50 on every
// entity starts with its kind, a byte of flags telling which common fields
// follow, and its whole size, so a reader can step over what it does not
// know; AC1.40 stores neither flags nor sizes, and each kind has its fixed
// form. An entity whose kind has the erased bit stays in the file and is
// stepped over. A jump entity moves the reading into the extra section (an
// entity that grew after it was written) and back.

#include <array>
#include <string>
#include <string_view>
#include <unordered_set>

#include "bit_reader.h"
#include "format.h"
#include "r12_format.h"
#include "text_codec.h"

namespace veldra::dwg::detail {
namespace {

// Entity kinds of the old formats.
enum Kind : std::uint8_t {
  kLine = 1, kPoint = 2, kCircle = 3, kShape = 4, kRepeatBegin = 5, kRepeatEnd = 6, kText = 7, kArc = 8,
  kTrace = 9, kLoad = 10, kSolid = 11, kBlock = 12, kEndBlock = 13, kInsert = 14, kAttributeDefinition = 15,
  kAttribute = 16, kSequenceEnd = 17, kJump = 18, kPolyline = 19, kVertex = 20, kLine3d = 21, kFace = 22,
  kDimension = 23, kViewport = 24,
};

// The common flags.
constexpr std::uint8_t kHasColour = 0x01;
constexpr std::uint8_t kHasLinetype = 0x02;
constexpr std::uint8_t kHasElevation = 0x04;  // for lines, points and faces from R10 on: no z stored
constexpr std::uint8_t kHasThickness = 0x08;
constexpr std::uint8_t kHasHandle = 0x20;
constexpr std::uint8_t kPaperSpace = 0x40;  // also: a byte of extra flags follows
// The extra flags.
constexpr std::uint8_t kHasExtendedData = 0x02;
constexpr std::uint8_t kHasViewport = 0x04;

constexpr std::uint8_t kErased = 0x80;
constexpr std::uint32_t kJumpToExtras = 0x80000000;
constexpr std::uint32_t kAddressMask = 0x00FFFFFF;
constexpr std::size_t kMaxHandleBytes = 8;
constexpr std::uint64_t kEarlyHeaderSize = 0x202;

// Polyline flags and options.
constexpr std::uint16_t kPolylineHasFlags = 0x01;
constexpr std::uint8_t kClosed = 0x01;
constexpr std::uint8_t kCurveFit = 0x02;
constexpr std::uint8_t kSplineFit = 0x04;
constexpr std::uint8_t k3dPolyline = 0x08;
constexpr std::uint8_t kMesh = 0x10;
constexpr std::uint8_t kPolyfaceMesh = 0x40;
// Vertex options.
constexpr std::uint16_t kVertexStartWidth = 0x01;
constexpr std::uint16_t kVertexEndWidth = 0x02;
constexpr std::uint16_t kVertexBulge = 0x04;
constexpr std::uint16_t kVertexNoPoint = 0x4000;
// Insert options.
constexpr std::uint16_t kInsertScaleX = 0x01;
constexpr std::uint16_t kInsertScaleY = 0x02;
constexpr std::uint16_t kInsertRotation = 0x04;
constexpr std::uint16_t kInsertScaleZ = 0x08;
constexpr std::uint16_t kInsertColumns = 0x10;
constexpr std::uint16_t kInsertRows = 0x20;
constexpr std::uint16_t kInsertColumnSpacing = 0x40;
constexpr std::uint16_t kInsertRowSpacing = 0x80;
// Dimension options.
constexpr std::uint16_t kDimensionClonePoint = 0x01;
constexpr std::uint16_t kDimensionHasType = 0x02;

bool hasChecks(OldRelease release) { return release >= OldRelease::kR11; }
bool isThreeDimensional(OldRelease release) { return release >= OldRelease::kR10; }

// True when the kind keeps its z in its own points from R10 on, so that the
// elevation flag says "no z" instead. A 3D line flags each z in its options
// and keeps the common elevation.
bool flatFlagKind(std::uint8_t type) { return type == kLine || type == kPoint || type == kFace; }

const char* polylineName(const OldEntity& e) {
  std::uint8_t flags = 0;
  if ((e.options & kPolylineHasFlags) && !e.data.empty()) flags = e.data[0];
  if (flags & k3dPolyline) return "AcDb3dPolyline";
  if (flags & kMesh) return "AcDbPolygonMesh";
  if (flags & kPolyfaceMesh) return "AcDbPolyFaceMesh";
  // A plain two-dimensional polyline becomes the light-weight kind when the
  // drawing is opened; a fitted one keeps its vertices.
  if (flags & (kCurveFit | kSplineFit)) return "AcDb2dPolyline";
  return "AcDbPolyline";
}

const char* dimensionName(const OldEntity& e, OldRelease release) {
  if (!(e.options & kDimensionHasType)) return "AcDbRotatedDimension";
  // Block number, the dimension line point (with z from R10 on, whatever the
  // elevation flag says), the text point.
  std::size_t at = 2 + (isThreeDimensional(release) ? 24 : 16) + 16;
  if (isThreeDimensional(release) && (e.options & kDimensionClonePoint)) at += 16;
  if (at >= e.data.size()) return "AcDbRotatedDimension";
  static constexpr const char* kNames[] = {
      "AcDbRotatedDimension",       "AcDbAlignedDimension", "AcDb2LineAngularDimension", "AcDbDiametricDimension",
      "AcDbRadialDimension", "AcDb3PointAngularDimension", "AcDbOrdinateDimension"};
  const unsigned type = e.data[at] & 0x0F;
  return type < std::size(kNames) ? kNames[type] : "AcDbRotatedDimension";
}

const char* insertName(const OldEntity& e) {
  BitReader r(e.data);
  r.readRS();                         // block number
  r.readRD(), r.readRD();             // insertion point
  for (const std::uint16_t option : {kInsertScaleX, kInsertScaleY, kInsertRotation, kInsertScaleZ})
    if (e.options & option) r.readRD();
  const std::uint16_t columns = (e.options & kInsertColumns) ? r.readRS() : 1;
  const std::uint16_t rows = (e.options & kInsertRows) ? r.readRS() : 1;
  if (!r.failed() && (columns > 1 || rows > 1)) return "AcDbMInsertBlock";
  return "AcDbBlockReference";
}

// The class name of a top-level entity, or nullptr for what lists nothing
// (block bounds, sub-entities and the like).
const char* className(const OldEntity& e, OldRelease release) {
  switch (e.type) {
    case kLine:
    case kLine3d: return "AcDbLine";
    case kPoint: return "AcDbPoint";
    case kCircle: return "AcDbCircle";
    case kShape: return "AcDbShape";
    case kText: return "AcDbText";
    case kArc: return "AcDbArc";
    case kTrace: return "AcDbTrace";
    case kSolid: return "AcDbSolid";
    case kInsert: return release == OldRelease::kR1_4 ? "AcDbBlockReference" : insertName(e);
    case kAttributeDefinition: return "AcDbAttributeDefinition";
    case kPolyline: return polylineName(e);
    case kFace: return "AcDbFace";
    case kDimension: return dimensionName(e, release);
    case kViewport: return "AcDbViewport";
    default: return nullptr;
  }
}

bool knownKind(std::uint8_t type, OldRelease release) {
  if (release == OldRelease::kR1_4) return type >= kLine && type <= kInsert;
  return type >= kLine && type <= kViewport;
}

class EntityWalker {
 public:
  EntityWalker(std::span<const std::uint8_t> file, const OldLayout& layout, bool keepVertices,
               std::vector<OldListed>& out, std::vector<Damage>& damage)
      : file_(file), layout_(layout), keepVertices_(keepVertices), out_(out), damage_(damage) {}

  void walk() {
    if (layout_.release == OldRelease::kR1_4) {
      walkEarly();
    } else {
      walkSized();
    }
  }

 private:
  struct Range {
    std::uint64_t start;
    std::uint64_t end;
    const char* name;
  };

  void note(std::uint64_t offset, const char* section, std::string message) {
    damage_.push_back(Damage{section, offset, std::move(message)});
  }

  // AC1.50 and later: sized entities, with jumps.
  void walkSized() {
    const Range entities{layout_.entitiesStart, layout_.entitiesEnd, "entities"};
    const Range extras{layout_.extrasStart, layout_.extrasEnd, "extra entities"};
    Range range = entities;
    std::uint64_t pos = range.start;
    std::unordered_set<std::uint64_t> jumps;
    const std::uint64_t checkSize = hasChecks(layout_.release) ? 2 : 0;
    while (pos < range.end) {
      if (range.end - pos < 4) return note(pos, range.name, "entity cut short at the end of its section");
      const std::uint8_t stored = file_[pos];
      const std::uint8_t flags = file_[pos + 1];
      const std::uint16_t size = static_cast<std::uint16_t>(file_[pos + 2] | (file_[pos + 3] << 8));
      const std::uint8_t type = stored & static_cast<std::uint8_t>(~kErased);
      if (size < 8 + checkSize)
        return note(pos, range.name, "entity size " + std::to_string(size) + " too small; the entities after it are not read");
      if (size > range.end - pos)
        return note(pos, range.name, "entity runs past the end of its section; the entities after it are not read");
      if (stored & kErased) {
        pos += size;
        continue;
      }
      if (type == kJump) {
        if (!jumps.insert(pos).second) return note(pos, range.name, "entity jumps go round in a circle");
        const std::uint32_t address = le32(file_, static_cast<std::size_t>(pos + 4));
        const bool toExtras = (address & kJumpToExtras) != 0;
        const Range& target = toExtras ? extras : entities;
        const std::uint64_t at = (toExtras ? extras.start : 0) + (address & kAddressMask);
        // A jump back may land at the end of the entity section; a jump into
        // the extra section must land on an entity.
        if (at < target.start || at > target.end || (toExtras && at == target.end))
          return note(pos, range.name, "entity jump points outside its section; the entities after it are not read");
        range = target;
        pos = at;
        continue;
      }
      if (!knownKind(type, layout_.release)) {
        closeSequence();
        note(pos, range.name, "entity of unknown kind " + std::to_string(type) + " not listed");
        pos += size;
        continue;
      }
      OldEntity e;
      e.type = type;
      e.flags = flags;
      e.offset = pos;
      if (!readCommon(pos, pos + size - checkSize, e)) {
        closeSequence();
        note(pos, range.name, "entity fields run past its size; it is not listed");
        pos += size;
        continue;
      }
      take(e);
      pos += size;
    }
    if (range.name == extras.name)
      note(pos, range.name, "extra entities end without a jump back");
  }

  // The common fields after kind, flags and size; false when they do not fit.
  bool readCommon(std::uint64_t start, std::uint64_t end, OldEntity& e) const {
    BitReader r(file_, (start + 4) * 8, end * 8);
    e.layer = r.readRS();
    e.options = r.readRS();
    std::uint8_t extra = 0;
    if (e.flags & kPaperSpace) {
      extra = r.readRC();
      e.paper = true;
    }
    // The extended data comes straight after the extra flags, before the
    // colour and the other common fields.
    if (extra & kHasExtendedData) r.skip(static_cast<std::uint64_t>(r.readRS()) * 8);
    if (e.flags & kHasColour) r.readRC();
    if (e.flags & kHasLinetype) layout_.release >= OldRelease::kR11 ? static_cast<void>(r.readRS()) : static_cast<void>(r.readRC());
    if ((e.flags & kHasElevation) && !(isThreeDimensional(layout_.release) && flatFlagKind(e.type)))
      e.elevation = r.readRD();
    if (e.flags & kHasThickness) r.readRD();
    if (e.flags & kHasHandle) {
      const std::uint8_t length = r.readRC();
      if (length == 0 || length > kMaxHandleBytes) return false;
      for (std::uint8_t i = 0; i < length; ++i) e.handle = (e.handle << 8) | r.readRC();
      e.hasHandle = true;
    }
    if (extra & kHasViewport) r.readRS();
    if (r.failed()) return false;
    const std::uint64_t dataStart = r.position() / 8;
    e.data = file_.subspan(static_cast<std::size_t>(dataStart), static_cast<std::size_t>(end - dataStart));
    return true;
  }

  // AC1.40: kinds of fixed form, counted, without sizes.
  void walkEarly() {
    std::uint64_t pos = layout_.entitiesStart;
    const std::uint64_t end = layout_.entitiesEnd;
    int blockDepth = 0;
    for (std::uint32_t i = 0; i < layout_.entityCount; ++i) {
      if (end - pos < 4) return note(pos, "entities", "entity list cut short: " + std::to_string(i) + " of " +
                                                          std::to_string(layout_.entityCount) + " entities read");
      const auto stored = static_cast<std::int16_t>(file_[pos] | (file_[pos + 1] << 8));
      const bool erased = stored < 0;
      const int kind = erased ? -static_cast<int>(stored) : stored;
      if (kind < kLine || kind > kInsert)
        return note(pos, "entities", "entity of unknown kind " + std::to_string(kind) +
                                         "; the entities after it are not read");
      const std::uint64_t size = earlySize(static_cast<std::uint8_t>(kind), pos, end);
      if (size == 0 || size > end - pos)
        return note(pos, "entities", "entity runs past the end of the entity list; the entities after it are not read");
      if (!erased) {
        if (kind == kBlock) {
          ++blockDepth;
        } else if (kind == kEndBlock) {
          if (blockDepth > 0) --blockDepth;
        } else if (blockDepth == 0) {
          OldEntity e;
          e.type = static_cast<std::uint8_t>(kind);
          e.offset = pos;
          e.layer = static_cast<std::uint16_t>(file_[pos + 2] | (file_[pos + 3] << 8));
          e.data = file_.subspan(static_cast<std::size_t>(pos + 4), static_cast<std::size_t>(size - 4));
          take(e);
        }
      }
      pos += size;
    }
  }

  // The whole size of an AC1.40 entity at `pos` (kind and layer included); 0
  // when a stored length cannot be read.
  std::uint64_t earlySize(std::uint8_t kind, std::uint64_t pos, std::uint64_t end) const {
    const auto lengthAt = [&](std::uint64_t at) -> std::uint64_t {
      if (at + 2 > end) return 0;
      return static_cast<std::uint64_t>(file_[at] | (file_[at + 1] << 8)) + 2;
    };
    constexpr std::uint64_t kHead = 4;  // kind and layer
    switch (kind) {
      case kLine: return kHead + 32;
      case kPoint: return kHead + 16;
      case kCircle: return kHead + 24;
      case kShape: return kHead + 34;
      case kRepeatBegin: return kHead;
      case kRepeatEnd: return kHead + 20;
      case kText: {
        const std::uint64_t text = lengthAt(pos + kHead + 32);
        return text == 0 ? 0 : kHead + 32 + text;
      }
      case kArc: return kHead + 40;
      case kTrace:
      case kSolid: return kHead + 64;
      case kLoad: {
        const std::uint64_t text = lengthAt(pos + kHead);
        return text == 0 ? 0 : kHead + text;
      }
      case kBlock: {
        const std::uint64_t name = lengthAt(pos + kHead);
        return name == 0 ? 0 : kHead + name + 16;
      }
      case kEndBlock: return kHead;
      case kInsert: {
        const std::uint64_t name = lengthAt(pos + kHead);
        return name == 0 ? 0 : kHead + name + 40;
      }
      default: return 0;
    }
  }

  // Lists a top-level entity, or keeps a vertex for the polyline before it.
  void take(const OldEntity& e) {
    switch (e.type) {
      case kVertex:
        if (polyline_ != kNone && keepVertices_) out_[polyline_].vertices.push_back(e);
        return;
      case kAttribute: return;  // belongs to the block reference before it
      case kSequenceEnd: closeSequence(); return;
      default: break;
    }
    closeSequence();
    const char* name = className(e, layout_.release);
    if (name == nullptr) return;  // block bounds, repeats and loads of old releases
    out_.push_back(OldListed{e, name, {}});
    if (e.type == kPolyline) polyline_ = out_.size() - 1;
  }

  void closeSequence() { polyline_ = kNone; }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  std::span<const std::uint8_t> file_;
  const OldLayout& layout_;
  bool keepVertices_;
  std::vector<OldListed>& out_;
  std::vector<Damage>& damage_;
  std::size_t polyline_ = kNone;
};

std::string textOf(BitReader& r, std::uint16_t codePage) {
  const std::uint16_t length = r.readRS();
  if (static_cast<std::uint64_t>(length) * 8 > r.remaining()) {
    r.fail();
    return {};
  }
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(r.readRC());
  bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  return codePageToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), codePage);
}

}  // namespace

void listOldEntities(std::span<const std::uint8_t> file, const OldLayout& layout, bool keepVertices,
                     std::vector<OldListed>& out, std::vector<Damage>& damage) {
  EntityWalker(file, layout, keepVertices, out, damage).walk();
}

Status readOldGeometry(const OldListed& listed, OldRelease release, const std::vector<std::string>& layers,
                       const std::vector<std::string>& blocks, std::uint16_t codePage, EntityGeometry& out) {
  const OldEntity& e = listed.entity;
  const bool early = release == OldRelease::kR1_4;
  // AC1.40 numbers its layers; later releases index their layer table.
  if (early) {
    out.layer = std::to_string(e.layer);
  } else if (e.layer < layers.size()) {
    out.layer = layers[e.layer];
  } else {
    return makeError(ErrorKind::kCorrupt, "layer number " + std::to_string(e.layer) + " outside the layer table",
                     e.offset, "entities");
  }
  // From R10 on lines, points and faces keep their own z unless flagged flat.
  const bool ownZ = isThreeDimensional(release) && !(e.flags & kHasElevation);
  const double z = e.elevation;
  BitReader r(e.data);
  std::vector<double>& n = out.numbers;
  const auto point = [&](bool withZ) {
    const double x = r.readRD();
    const double y = r.readRD();
    n.insert(n.end(), {x, y, withZ ? r.readRD() : z});
  };
  switch (e.type) {
    case kLine:
      point(ownZ);
      point(ownZ);
      break;
    case kLine3d:
      point((e.options & 0x01) != 0);
      point((e.options & 0x02) != 0);
      break;
    case kPoint: point(ownZ); break;
    case kCircle:
      point(false);
      n.push_back(r.readRD());
      break;
    case kArc:
      point(false);
      for (int i = 0; i < 3; ++i) n.push_back(r.readRD());  // radius, start and end angles
      break;
    case kText: {
      const double x = r.readRD();
      const double y = r.readRD();
      const double height = r.readRD();
      if (early) r.readRD();  // rotation
      n.insert(n.end(), {x, y, height});
      out.text = textOf(r, codePage);
      break;
    }
    case kInsert: {
      double scale[3] = {1.0, 1.0, 1.0};
      double rotation = 0.0;
      std::array<double, 4> array{1.0, 1.0, 0.0, 0.0};
      if (early) {
        const std::string name = textOf(r, codePage);
        point(false);
        scale[0] = r.readRD();
        scale[1] = r.readRD();
        rotation = r.readRD();
        out.text = name;
      } else {
        const std::uint16_t block = r.readRS();
        point(false);
        if (e.options & kInsertScaleX) scale[0] = r.readRD();
        if (e.options & kInsertScaleY) scale[1] = r.readRD();
        if (e.options & kInsertRotation) rotation = r.readRD();
        if (e.options & kInsertScaleZ) scale[2] = r.readRD();
        // An array: columns, rows and their spacing.
        const double columns = (e.options & kInsertColumns) ? r.readRS() : 1;
        const double rows = (e.options & kInsertRows) ? r.readRS() : 1;
        array = {columns, rows, (e.options & kInsertColumnSpacing) ? r.readRD() : 0.0,
                 (e.options & kInsertRowSpacing) ? r.readRD() : 0.0};
        if (block >= blocks.size())
          return makeError(ErrorKind::kCorrupt, "block number " + std::to_string(block) + " outside the block table",
                           e.offset, "entities");
        out.text = blocks[block];
      }
      n.insert(n.end(), {scale[0], scale[1], scale[2], rotation});
      if (std::string_view(listed.className) == "AcDbMInsertBlock") n.insert(n.end(), array.begin(), array.end());
      break;
    }
    case kPolyline:
      if (std::string_view(listed.className) != "AcDbPolyline") break;
      for (const OldEntity& v : listed.vertices) {
        BitReader vr(v.data);
        double x = 0.0;
        double y = 0.0;
        if (!(v.options & kVertexNoPoint)) {
          x = vr.readRD();
          y = vr.readRD();
        }
        if (v.options & kVertexStartWidth) vr.readRD();
        if (v.options & kVertexEndWidth) vr.readRD();
        const double bulge = (v.options & kVertexBulge) ? vr.readRD() : 0.0;
        if (vr.failed())
          return makeError(ErrorKind::kCorrupt, "polyline vertex cut short", v.offset, "entities");
        n.insert(n.end(), {x, y, bulge});
      }
      // A closed polyline's last side runs back to its first vertex.
      if ((e.options & kPolylineHasFlags) && !e.data.empty() && (e.data[0] & kClosed) && n.size() >= 6)
        n.insert(n.end(), {n[0], n[1], 0.0});
      break;
    default: break;
  }
  if (r.failed()) return makeError(ErrorKind::kCorrupt, "entity data cut short", e.offset, "entities");
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
