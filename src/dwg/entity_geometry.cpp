// The geometry of top-level entities: the common entity data up to the
// layer reference, then the numbers of the common kinds. Each entity is read
// on its own: one that cannot be read gets an empty geometry and a note of
// damage, and the others go on.

#include <cmath>
#include <unordered_map>

#include "format.h"
#include "object_access.h"
#include "object_types.h"
#include "text_codec.h"

namespace veldra::dwg::detail {
namespace {

constexpr std::uint16_t kTextType = 0x01;
constexpr std::uint16_t kInsertType = 0x07;
constexpr std::uint16_t kArrayInsertType = 0x08;
constexpr std::uint16_t kArcType = 0x11;
constexpr std::uint16_t kCircleType = 0x12;
constexpr std::uint16_t kLineType = 0x13;
constexpr std::uint16_t kPointType = 0x1B;
constexpr std::uint16_t kEllipseType = 0x23;
constexpr std::uint16_t kLayerType = 0x33;
constexpr std::uint16_t kPolylineType = 0x4D;

// Colour flags of an entity from R2004 on, in the high bits of its colour.
// A true colour stores its RGB value. A colour of a colour book has the
// true-colour flag too but stores no RGB value: its colour object is among
// the handle references, and the two low flags say whether the colour's name
// and its book's name follow.
constexpr std::uint16_t kTrueColour = 0x8000;
constexpr std::uint16_t kBookColour = 0x4000;
constexpr std::uint16_t kTransparency = 0x2000;
constexpr std::uint16_t kColourName = 0x0100;
constexpr std::uint16_t kBookName = 0x0200;
constexpr std::uint8_t kHandleStored = 3;  // linetype, plot style, material flags

class GeometryReader : ObjectAccess {
 public:
  GeometryReader(const Sections& sections, Release release, const ObjectMap& map, std::vector<Damage>& damage)
      : ObjectAccess(sections, release, map, damage), codePage_(sections.codePage) {}

  Status read(const Entity& entity, EntityGeometry& out) {
    ObjectStart o;
    if (Status s = openObject(entity.handle, o); !s.ok()) return s;
    BitReader h;
    // From R2007 on the texts, a colour's names among them, are read from
    // the string stream in the order they are stored.
    BitReader strings;
    if (release_ >= Release::kR2007) strings = stringReader(o);
    if (Status s = readCommon(o, h, strings, out.layer); !s.ok()) return s;
    BitReader& r = o.reader;
    std::vector<double>& n = out.numbers;
    switch (kindOf(o.type, entity.className)) {
      case Kind::kLine: readLine(r, n); break;
      case Kind::kCircle:
        readPoint3(r, n);
        n.push_back(r.readBD());
        break;
      case Kind::kArc:
        readPoint3(r, n);
        n.push_back(r.readBD());
        skipThicknessAndExtrusion(r);
        n.push_back(r.readBD());
        n.push_back(r.readBD());
        break;
      case Kind::kEllipse:
        readPoint3(r, n);  // centre
        readPoint3(r, n);  // major axis
        r.readBD(), r.readBD(), r.readBD();  // extrusion
        for (int i = 0; i < 3; ++i) n.push_back(r.readBD());  // axis ratio, start, end
        break;
      case Kind::kPoint: readPoint3(r, n); break;
      case Kind::kPolyline:
        if (Status s = readPolyline(o, n); !s.ok()) return s;
        break;
      case Kind::kText:
        out.text = readText(r, strings, n);
        if (strings.failed() && release_ >= Release::kR2007)
          return error(ErrorKind::kCorrupt, "text cut short", o.handle);
        break;
      case Kind::kInsert:
      case Kind::kArrayInsert: {
        readInsert(r, n);
        if (kindOf(o.type, entity.className) == Kind::kArrayInsert) readArray(r, n);
        const std::uint64_t block = h.readH().resolve(o.handle);
        if (h.failed()) return error(ErrorKind::kCorrupt, "block reference cut short", o.handle);
        std::string name;
        if (Status s = tableName(block, kBlockHeaderType, "block", name); !s.ok()) return s;
        out.text = std::move(name);
        break;
      }
      case Kind::kOther: break;
    }
    if (r.failed()) return error(ErrorKind::kCorrupt, "entity data cut short", o.handle);
    return Status::Ok();
  }

 private:
  enum class Kind { kLine, kCircle, kArc, kEllipse, kPoint, kPolyline, kText, kInsert, kArrayInsert, kOther };

  static Kind kindOf(std::uint16_t type, const std::string& className) {
    switch (type) {
      case kLineType: return Kind::kLine;
      case kCircleType: return Kind::kCircle;
      case kArcType: return Kind::kArc;
      case kEllipseType: return Kind::kEllipse;
      case kPointType: return Kind::kPoint;
      case kPolylineType: return Kind::kPolyline;
      case kTextType: return Kind::kText;
      case kInsertType: return Kind::kInsert;
      case kArrayInsertType: return Kind::kArrayInsert;
      default:
        // The light-weight polyline is usually a class of the drawing's own.
        return type >= kFirstClassType && className == "AcDbPolyline" ? Kind::kPolyline : Kind::kOther;
    }
  }

  // The common entity data, leaving `o.reader` at the entity's own data and
  // `h` after the common handle references; `layer` is the layer's name.
  Status readCommon(ObjectStart& o, BitReader& h, BitReader& strings, std::string& layer) {
    BitReader& r = o.reader;
    if (r.readB()) {  // graphics present
      const std::uint64_t size = release_ >= Release::kR2010 ? r.readBLL() : r.readRL();
      if (size > r.remaining() / 8) return error(ErrorKind::kCorrupt, "entity graphics larger than the entity", o.handle);
      r.skip(size * 8);
    }
    if (release_ <= Release::kR14) o.handleStart = o.dataStart + r.readRL();
    const std::uint8_t mode = r.readBB();
    const std::int32_t reactors = r.readBL();
    bool hasXdic = true;
    if (release_ >= Release::kR2004) hasXdic = !r.readB();
    if (release_ >= Release::kR2013) r.readB();  // binary data present
    bool byLayerLinetype = true;
    if (release_ <= Release::kR14) byLayerLinetype = r.readB();
    bool noLinks = true;
    if (release_ <= Release::kR2000) noLinks = r.readB();
    bool bookColour = false;
    const auto colour = static_cast<std::uint16_t>(r.readBS());
    if (release_ >= Release::kR2004) {
      if (colour & kTransparency) r.readBL();
      bookColour = (colour & kBookColour) != 0;
      if (!bookColour && (colour & kTrueColour)) r.readBL();  // RGB
      const int names = bookColour ? ((colour & kColourName) ? 1 : 0) + ((colour & kBookName) ? 1 : 0) : 0;
      for (int i = 0; i < names; ++i) text(r, strings);
      if (names > 0 && release_ >= Release::kR2007 && strings.failed())
        return error(ErrorKind::kCorrupt, "colour names cut short", o.handle);
    }
    r.readBD();  // linetype scale
    std::uint8_t linetypeFlags = 0;
    std::uint8_t plotStyleFlags = 0;
    std::uint8_t materialFlags = 0;
    int visualStyles = 0;
    if (release_ >= Release::kR2000) {
      linetypeFlags = r.readBB();
      plotStyleFlags = r.readBB();
      if (release_ >= Release::kR2007) {
        materialFlags = r.readBB();
        r.readRC();  // shadow flags
      }
      if (release_ >= Release::kR2010)
        for (int i = 0; i < 3; ++i) visualStyles += r.readB() ? 1 : 0;
    }
    r.readBS();  // invisible
    if (release_ >= Release::kR2000) r.readRC();  // line weight
    if (r.failed()) return error(ErrorKind::kCorrupt, "entity data cut short", o.handle);

    h = handleReader(o);
    if (mode == 0) h.readH();  // owner
    if (Status s = skipReactors(h, reactors, hasXdic, o.handle); !s.ok()) return s;
    std::uint64_t layerHandle = 0;
    if (release_ <= Release::kR14) {
      layerHandle = h.readH().resolve(o.handle);
      if (!byLayerLinetype) h.readH();
    }
    if (!noLinks) h.readH(), h.readH();  // previous and next entity
    if (bookColour) h.readH();
    if (release_ >= Release::kR2000) {
      layerHandle = h.readH().resolve(o.handle);
      if (linetypeFlags == kHandleStored) h.readH();
      if (materialFlags == kHandleStored) h.readH();
      if (plotStyleFlags == kHandleStored) h.readH();
      for (int i = 0; i < visualStyles; ++i) h.readH();
    }
    if (h.failed()) return error(ErrorKind::kCorrupt, "entity references cut short", o.handle);
    return tableName(layerHandle, kLayerType, "layer", layer);
  }

  // The name of the table entry (layer, block record) with `handle`.
  Status tableName(std::uint64_t handle, std::uint16_t type, const char* what, std::string& name) {
    const auto known = names_.find(handle);
    if (known != names_.end()) {
      if (known->second.type != type) return error(ErrorKind::kCorrupt, std::string("no ") + what + " where one is named", handle);
      name = known->second.name;
      return Status::Ok();
    }
    ObjectStart o;
    if (Status s = openObject(handle, o); !s.ok()) return s;
    if (o.type != type) return error(ErrorKind::kCorrupt, std::string("no ") + what + " where one is named", handle);
    std::int32_t reactors = 0;
    bool hasXdic = true;
    readObjectCommon(o, reactors, hasXdic);
    BitReader strings;
    if (release_ >= Release::kR2007) strings = stringReader(o);
    name = text(o.reader, strings);
    if (o.reader.failed() || strings.failed())
      return error(ErrorKind::kCorrupt, std::string(what) + " name cut short", handle);
    names_[handle] = Named{type, name};
    return Status::Ok();
  }

  // A text as UTF-8: TV in the data before R2007, TU in the string stream after.
  std::string text(BitReader& data, BitReader& strings) const {
    if (release_ >= Release::kR2007) return utf16ToUtf8(strings.readTUUnits());
    const std::string bytes = data.readTVBytes();
    return codePageToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), codePage_);
  }

  static void readPoint3(BitReader& r, std::vector<double>& n) {
    for (int i = 0; i < 3; ++i) n.push_back(r.readBD());
  }

  void skipThicknessAndExtrusion(BitReader& r) const {
    double extrusion[3];
    if (release_ >= Release::kR2000) {
      r.readBT();
      r.readBE(extrusion);
    } else {
      r.readBD();
      for (double& e : extrusion) e = r.readBD();
    }
  }

  void readLine(BitReader& r, std::vector<double>& n) const {
    if (release_ <= Release::kR14) {
      readPoint3(r, n);
      readPoint3(r, n);
      return;
    }
    // Each end value is stored as a difference from the start value.
    const bool flat = r.readB();
    const double x1 = r.readRD();
    const double x2 = r.readDD(x1);
    const double y1 = r.readRD();
    const double y2 = r.readDD(y1);
    double z1 = 0.0;
    double z2 = 0.0;
    if (!flat) {
      z1 = r.readRD();
      z2 = r.readDD(z1);
    }
    n.insert(n.end(), {x1, y1, z1, x2, y2, z2});
  }

  // Insertion x y, height; returns the text.
  std::string readText(BitReader& r, BitReader& strings, std::vector<double>& n) const {
    double x = 0.0;
    double y = 0.0;
    double height = 0.0;
    if (release_ <= Release::kR14) {
      r.readBD();  // elevation
      x = r.readRD();
      y = r.readRD();
      r.readRD(), r.readRD();  // alignment point
      skipThicknessAndExtrusion(r);
      r.readBD(), r.readBD();  // oblique, rotation
      height = r.readBD();
      r.readBD();  // width factor
    } else {
      const std::uint8_t absent = r.readRC();
      if (!(absent & 0x01)) r.readRD();  // elevation
      x = r.readRD();
      y = r.readRD();
      if (!(absent & 0x02)) r.readDD(x), r.readDD(y);  // alignment point
      double extrusion[3];
      r.readBE(extrusion);
      r.readBT();
      if (!(absent & 0x04)) r.readRD();  // oblique
      if (!(absent & 0x08)) r.readRD();  // rotation
      height = r.readRD();
      if (!(absent & 0x10)) r.readRD();  // width factor
    }
    n.insert(n.end(), {x, y, height});
    return text(r, strings);
  }

  // Insertion x y z, scale x y z, rotation.
  void readInsert(BitReader& r, std::vector<double>& n) const {
    readPoint3(r, n);
    double sx = 1.0;
    double sy = 1.0;
    double sz = 1.0;
    if (release_ <= Release::kR14) {
      sx = r.readBD();
      sy = r.readBD();
      sz = r.readBD();
    } else {
      switch (r.readBB()) {
        case 3: break;  // 1, 1, 1
        case 1:
          sy = r.readDD(1.0);
          sz = r.readDD(1.0);
          break;
        case 2: sx = sy = sz = r.readRD(); break;
        default:
          sx = r.readRD();
          sy = r.readDD(sx);
          sz = r.readDD(sx);
          break;
      }
    }
    n.insert(n.end(), {sx, sy, sz});
    n.push_back(r.readBD());  // rotation
  }

  // An array of block references after the reference's own numbers:
  // columns, rows, column and row spacing. Read on a copy of the reader:
  // counts that no drawing stores leave the reference a single one, the
  // entity otherwise as read.
  void readArray(BitReader r, std::vector<double>& n) const {
    for (int i = 0; i < 3; ++i) r.readBD();  // extrusion
    if (r.readB() && release_ >= Release::kR2004) r.readBL();  // attributes follow: their count
    const auto columns = static_cast<std::int16_t>(r.readBS());
    const auto rows = static_cast<std::int16_t>(r.readBS());
    const double columnSpacing = r.readBD();
    const double rowSpacing = r.readBD();
    if (r.failed() || columns < 1 || rows < 1 || !std::isfinite(columnSpacing) || !std::isfinite(rowSpacing)) return;
    n.insert(n.end(), {static_cast<double>(columns), static_cast<double>(rows), columnSpacing, rowSpacing});
  }

  // x y bulge per vertex.
  Status readPolyline(ObjectStart& o, std::vector<double>& n) const {
    BitReader& r = o.reader;
    const auto flags = static_cast<std::uint16_t>(r.readBS());
    if (flags & 0x04) r.readBD();  // constant width
    if (flags & 0x08) r.readBD();  // elevation
    if (flags & 0x02) r.readBD();  // thickness
    if (flags & 0x01) r.readBD(), r.readBD(), r.readBD();  // extrusion
    const std::int32_t points = r.readBL();
    const std::int32_t bulges = (flags & 0x10) ? r.readBL() : 0;
    if (release_ >= Release::kR2010 && (flags & 0x400)) r.readBL();  // vertex identifiers
    if (flags & 0x20) r.readBL();  // widths
    // Every vertex takes at least four bits (two patched doubles), every bulge two.
    if (r.failed() || points < 0 || bulges < 0 ||
        static_cast<std::uint64_t>(points) * 4 + static_cast<std::uint64_t>(bulges) * 2 > r.remaining())
      return error(ErrorKind::kCorrupt, "polyline counts more vertices than it holds", o.handle);
    n.reserve(static_cast<std::size_t>(points) * 3);
    double x = 0.0;
    double y = 0.0;
    for (std::int32_t i = 0; i < points; ++i) {
      if (i == 0 || release_ <= Release::kR14) {
        x = r.readRD();
        y = r.readRD();
      } else {
        x = r.readDD(x);
        y = r.readDD(y);
      }
      n.insert(n.end(), {x, y, 0.0});
    }
    for (std::int32_t i = 0; i < bulges; ++i) {
      const double bulge = r.readBD();
      if (i < points) n[static_cast<std::size_t>(i) * 3 + 2] = bulge;
    }
    // A closed polyline's last side runs back to its first vertex, with the
    // last vertex's bulge.
    if ((flags & 0x200) && points >= 2) n.insert(n.end(), {n[0], n[1], 0.0});
    return Status::Ok();
  }

  struct Named {
    std::uint16_t type = 0;
    std::string name;
  };

  std::uint16_t codePage_;
  std::unordered_map<std::uint64_t, Named> names_;
};

}  // namespace

void readGeometry(const Sections& sections, Release release, const ObjectMap& map,
                  const std::vector<Entity>& entities, std::vector<EntityGeometry>& geometry,
                  std::vector<Damage>& damage) {
  GeometryReader reader(sections, release, map, damage);
  geometry.assign(entities.size(), EntityGeometry{});
  for (std::size_t i = 0; i < entities.size(); ++i) {
    const Status s = reader.read(entities[i], geometry[i]);
    if (!s.ok()) {
      geometry[i] = EntityGeometry{};
      damage.push_back(Damage{s.section, s.offset, "geometry not read: " + s.message});
    }
  }
}

}  // namespace veldra::dwg::detail
