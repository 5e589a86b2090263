#include "dwgwrite/r12_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <string_view>

#include "dwgwrite/drawing.h"
#include "dwgwrite/plan_edits.h"
#include "dwgwrite/text_encoding.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = OldEntitySpec::Kind;

enum class Era { kR1_4, kR2_1, kDated, kR10, kR11 };

// How many header variables a release stores, and where they end. From
// AC2.10 on they start at 0x5E, each release adding some at the end; an
// R11/R12 header ends with a check value.
struct HeaderVariables {
  std::string_view version;
  std::uint16_t count;
  std::size_t end;
};
constexpr HeaderVariables kHeaderVariables[] = {
    {"AC1.50", 74, 0x1FA},  {"AC2.10", 83, 0x2E5},  {"AC1001", 101, 0x35D}, {"AC1002", 114, 0x3A1}, {"AC1003", 122, 0x3D5},
    {"AC1004", 129, 0x3EF}, {"AC1006", 160, 0x51E}, {"AC1009", 205, 0x6BF},
};

const HeaderVariables& headerVariablesOf(std::string_view version) {
  for (const HeaderVariables& h : kHeaderVariables)
    if (h.version == version) return h;
  return kHeaderVariables[std::size(kHeaderVariables) - 1];
}

bool eraOf(std::string_view version, Era& era) {
  if (version == "AC1.40") era = Era::kR1_4;
  else if (version == "AC1.50" || version == "AC2.10") era = Era::kR2_1;
  else if (version == "AC1001" || version == "AC1002" || version == "AC1003" || version == "AC1004") era = Era::kDated;
  else if (version == "AC1006") era = Era::kR10;
  else if (version == "AC1009") era = Era::kR11;
  else return false;
  return true;
}

// Entity kinds as the old formats number them.
std::uint8_t kindNumber(Kind kind) {
  switch (kind) {
    case Kind::kLine: return 1;
    case Kind::kPoint: return 2;
    case Kind::kCircle: return 3;
    case Kind::kShape: return 4;
    case Kind::kText: return 7;
    case Kind::kArc: return 8;
    case Kind::kTrace: return 9;
    case Kind::kSolid: return 11;
    case Kind::kInsert: return 14;
    case Kind::kAttributeDefinition: return 15;
    case Kind::kPolyline: return 19;
    case Kind::kFace: return 22;
    case Kind::kDimension: return 23;
    case Kind::kViewport: return 24;
    case Kind::kLine3d: return 21;
  }
  return 0;
}
constexpr std::uint8_t kBlockBegin = 12;
constexpr std::uint8_t kBlockEnd = 13;
constexpr std::uint8_t kSequenceEnd = 17;
constexpr std::uint8_t kJump = 18;
constexpr std::uint8_t kVertex = 20;

// Sentinels that R11 and R12 put before their sections; the reader goes by
// the addresses alone.
constexpr std::uint8_t kSentinel[16] = {0xC4, 0x6E, 0x68, 0x54, 0xF8, 0x6E, 0x33, 0x30,
                                        0x63, 0x3E, 0xC1, 0x85, 0x2A, 0xDC, 0x94, 0x01};

void put8(Bytes& b, std::uint8_t v) { b.push_back(v); }
void put16(Bytes& b, std::uint16_t v) { b.push_back(static_cast<std::uint8_t>(v)), b.push_back(static_cast<std::uint8_t>(v >> 8)); }
void put32(Bytes& b, std::uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i))); }
void putDouble(Bytes& b, double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}
void putText(Bytes& b, const std::string& text) {
  put16(b, static_cast<std::uint16_t>(text.size()));
  b.insert(b.end(), text.begin(), text.end());
}
void set16(Bytes& b, std::size_t at, std::uint16_t v) { b[at] = static_cast<std::uint8_t>(v), b[at + 1] = static_cast<std::uint8_t>(v >> 8); }
void set32(Bytes& b, std::size_t at, std::uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i)); }

double number(const OldEntitySpec& e, std::size_t i, double fallback = 0.0) {
  return i < e.numbers.size() ? e.numbers[i] : fallback;
}

class Writer {
 public:
  Writer(const OldDrawingSpec& wanted, Era era) : spec_(wanted), era_(era) {
    std::uint64_t highest = 0;
    for (const OldEntitySpec& e : wanted.entities) highest = std::max(highest, e.handle);
    nextHandle_ = highest + 1;
  }

  Bytes write() { return era_ == Era::kR1_4 ? writeEarly() : writeSized(); }

 private:
  bool threeD() const { return era_ >= Era::kR10; }
  bool checks() const { return era_ >= Era::kR11; }
  bool handles() const { return era_ >= Era::kR10 && spec_.handling; }

  std::size_t headerSize() const { return headerVariablesOf(spec_.version).end; }

  // One entity of AC2.10 or later: kind, flags, size, layer, options, the
  // common fields the flags announce, the kind's own data, and from AC1009 on
  // a check value.
  // The extended data stands straight after the extra flags, which only a
  // paper-space entity stores here.
  void entity(Bytes& out, std::uint8_t kind, bool erased, std::uint16_t layer, std::uint16_t options, bool paper,
              std::uint64_t handle, double elevation, const Bytes& data, const Bytes& extended = {}) const {
    const bool flatKind = kind == 1 || kind == 2 || kind == 22;
    std::uint8_t flags = 0;
    if (paper && era_ >= Era::kR11) flags |= 0x40;
    if (handle != 0 && handles()) flags |= 0x20;
    const bool writeElevation = elevation != 0.0 && !(threeD() && flatKind);
    if (writeElevation) flags |= 0x04;
    const std::size_t start = out.size();
    put8(out, static_cast<std::uint8_t>(kind | (erased ? 0x80 : 0)));
    put8(out, flags);
    put16(out, 0);
    put16(out, layer);
    put16(out, options);
    if (flags & 0x40) {
      put8(out, extended.empty() ? 0 : 0x02);
      if (!extended.empty()) {
        put16(out, static_cast<std::uint16_t>(extended.size()));
        out.insert(out.end(), extended.begin(), extended.end());
      }
    }
    if (writeElevation) putDouble(out, elevation);
    if (flags & 0x20) {
      std::uint8_t stored[8];
      int length = 0;
      for (std::uint64_t v = handle; v != 0; v >>= 8) stored[length++] = static_cast<std::uint8_t>(v);
      put8(out, static_cast<std::uint8_t>(length));
      for (int i = length - 1; i >= 0; --i) put8(out, stored[i]);
    }
    out.insert(out.end(), data.begin(), data.end());
    if (checks()) put16(out, 0);
    set16(out, start + 2, static_cast<std::uint16_t>(out.size() - start));
  }

  void jump(Bytes& out, std::uint32_t address) const {
    const std::size_t start = out.size();
    put8(out, kJump);
    put8(out, 0);
    put16(out, 0);
    put32(out, address);
    if (checks()) put16(out, 0);
    set16(out, start + 2, static_cast<std::uint16_t>(out.size() - start));
  }

  // The kind's own data and its options.
  Bytes data(const OldEntitySpec& e, std::uint16_t& options) const {
    Bytes d;
    options = 0;
    switch (e.kind) {
      case Kind::kLine:
        for (int i = 0; i < 6; ++i)
          if (threeD() || i % 3 != 2) putDouble(d, number(e, static_cast<std::size_t>(i)));
        break;
      case Kind::kPoint:
        for (int i = 0; i < (threeD() ? 3 : 2); ++i) putDouble(d, number(e, static_cast<std::size_t>(i)));
        break;
      case Kind::kCircle:
        for (int i = 0; i < 3; ++i) putDouble(d, number(e, static_cast<std::size_t>(i), 1.0));
        break;
      case Kind::kArc:
        for (int i = 0; i < 5; ++i) putDouble(d, number(e, static_cast<std::size_t>(i), 1.0));
        break;
      case Kind::kText:
        for (int i = 0; i < 3; ++i) putDouble(d, number(e, static_cast<std::size_t>(i), 1.0));
        putText(d, e.text);
        break;
      case Kind::kTrace:
      case Kind::kSolid:
        for (int i = 0; i < 8; ++i) putDouble(d, number(e, static_cast<std::size_t>(i)));
        break;
      case Kind::kFace:
        if (!threeD()) options = 0x0F;  // each corner with its z
        for (int i = 0; i < 12; ++i) putDouble(d, number(e, static_cast<std::size_t>(i)));
        break;
      case Kind::kShape:
        for (int i = 0; i < 3; ++i) putDouble(d, number(e, static_cast<std::size_t>(i), 1.0));
        put8(d, 1);
        break;
      case Kind::kInsert:
        options = 0x01 | 0x02 | 0x04;
        put16(d, e.block);
        putDouble(d, number(e, 0));
        putDouble(d, number(e, 1));
        putDouble(d, number(e, 2, 1.0));
        putDouble(d, number(e, 3, 1.0));
        putDouble(d, number(e, 4));
        if (e.columns != 1 || e.rows != 1) {
          options |= 0x10 | 0x20 | 0x40 | 0x80;
          put16(d, e.columns);
          put16(d, e.rows);
          putDouble(d, 10.0);
          putDouble(d, 10.0);
        }
        break;
      case Kind::kAttributeDefinition:
        for (int i = 0; i < 3; ++i) putDouble(d, number(e, static_cast<std::size_t>(i), 1.0));
        putText(d, e.text);
        putText(d, "Prompt");
        putText(d, "TAG");
        put8(d, 0);
        break;
      case Kind::kPolyline:
        options = 0x01;
        put8(d, e.flags);
        break;
      case Kind::kDimension:
        options = 0x02;
        put16(d, e.block);
        // From R10 on the dimension line point keeps its z, elevation or not.
        for (int i = 0; i < (threeD() ? 3 : 2); ++i) putDouble(d, number(e, static_cast<std::size_t>(i)));
        putDouble(d, number(e, 3)), putDouble(d, number(e, 4));
        put8(d, e.flags);
        break;
      case Kind::kViewport:
        for (int i = 0; i < 5; ++i) putDouble(d, number(e, static_cast<std::size_t>(i), 1.0));
        put16(d, 1);
        break;
      case Kind::kLine3d:
        for (int end = 0; end < 2; ++end) {
          const std::size_t at = static_cast<std::size_t>(3 * end);
          putDouble(d, number(e, at));
          putDouble(d, number(e, at + 1));
          if (number(e, at + 2) != 0.0) {
            options |= static_cast<std::uint16_t>(1 << end);
            putDouble(d, number(e, at + 2));
          }
        }
        break;
    }
    return d;
  }

  // An entity and the sub-entities it owns.
  void entityWithParts(Bytes& out, const OldEntitySpec& e, std::uint32_t sequenceStart) {
    std::uint16_t options = 0;
    const Bytes own = data(e, options);
    entity(out, kindNumber(e.kind), e.erased, e.layer, options, e.paper, e.handle, e.elevation, own,
           checks() ? e.extendedData : Bytes{});
    if (e.kind != Kind::kPolyline) return;
    for (const auto& v : e.vertices) {
      Bytes d;
      putDouble(d, v[0]);
      putDouble(d, v[1]);
      if (v[2] != 0.0) putDouble(d, v[2]);
      entity(out, kVertex, e.erased, e.layer, v[2] != 0.0 ? 0x04 : 0, e.paper, nextHandle_++, 0.0, d);
    }
    Bytes end;
    put32(end, sequenceStart);
    entity(out, kSequenceEnd, e.erased, e.layer, 0, e.paper, nextHandle_++, 0.0, end);
  }

  Bytes writeSized() {
    const std::size_t sentinel = checks() ? sizeof kSentinel : 0;
    const std::uint32_t entitiesStart = static_cast<std::uint32_t>(headerSize() + sentinel);
    Bytes main;
    Bytes extras;
    for (const OldEntitySpec& e : spec_.entities) {
      if (e.viaExtras && checks()) {
        jump(main, 0x80000000u | static_cast<std::uint32_t>(extras.size()));
        entityWithParts(extras, e, 0);
        jump(extras, static_cast<std::uint32_t>(entitiesStart + main.size()));
      } else {
        entityWithParts(main, e, static_cast<std::uint32_t>(entitiesStart + main.size()));
      }
    }

    Bytes file(headerSize(), 0);
    const auto section = [&](const Bytes& bytes) {
      file.insert(file.end(), kSentinel, kSentinel + sentinel);
      const auto at = static_cast<std::uint32_t>(file.size());
      file.insert(file.end(), bytes.begin(), bytes.end());
      return at;
    };
    section(main);

    const std::uint16_t blockItem = checks() ? 45 : 37;
    const std::uint16_t layerItem = checks() ? 41 : 37;
    const auto table = [&](const std::vector<std::string>& names, std::uint16_t item, bool layer) {
      Bytes t;
      for (const std::string& name : names) {
        const std::size_t start = t.size();
        put8(t, 0);
        char field[32] = {};
        std::memcpy(field, name.data(), std::min<std::size_t>(name.size(), 31));
        t.insert(t.end(), field, field + 32);
        if (layer && checks()) put16(t, 1);  // in use
        if (layer) put16(t, 7);  // colour
        t.resize(start + item, 0);
      }
      return t;
    };
    const std::uint32_t blocksAt = section(table(spec_.blocks, blockItem, false));
    const std::uint32_t layersAt = section(table(spec_.layers, layerItem, true));

    Bytes definitions;
    for (const std::string& name : spec_.blocks) {
      Bytes begin;
      putDouble(begin, 0.0), putDouble(begin, 0.0);
      if (checks()) putText(begin, name);
      entity(definitions, kBlockBegin, false, 0, checks() ? 0x02 : 0, false, 0, 0.0, begin);
      entity(definitions, kBlockEnd, false, 0, 0, false, 0, 0.0, {});
    }
    const std::uint32_t definitionsAt = section(definitions);
    const std::uint32_t extrasAt = section(extras);

    std::memcpy(file.data(), spec_.version.data(), 6);
    file[0x0C] = 3;
    set16(file, 0x0D, 3);  // entity sections
    set16(file, 0x0F, 5);  // tables described before the header variables
    set16(file, 0x11, headerVariablesOf(spec_.version).count);
    set32(file, 0x14, entitiesStart);
    set32(file, 0x18, static_cast<std::uint32_t>(entitiesStart + main.size()));
    set32(file, 0x1C, definitionsAt);
    set32(file, 0x20, 0x40000000u | static_cast<std::uint32_t>(definitions.size()));
    set32(file, 0x24, extrasAt);
    set32(file, 0x28, static_cast<std::uint32_t>(extras.size()));
    const auto tableAt = [&](std::size_t at, std::uint16_t item, std::size_t count, std::uint32_t start) {
      set16(file, at, item);
      set16(file, at + 2, static_cast<std::uint16_t>(count));
      set32(file, at + 6, start);
    };
    tableAt(0x2C, blockItem, spec_.blocks.size(), blocksAt);
    tableAt(0x36, layerItem, spec_.layers.size(), layersAt);
    tableAt(0x40, 0, 0, layersAt);
    tableAt(0x4A, 0, 0, layersAt);
    tableAt(0x54, 0, 0, layersAt);
    if (era_ >= Era::kDated) {
      const std::pair<std::size_t, OldDate> dates[] = {
          {0x31F, spec_.created}, {0x327, spec_.updated}, {0x32F, spec_.editingTime}, {0x337, spec_.userTimer}};
      for (const auto& [at, date] : dates) {
        set32(file, at, static_cast<std::uint32_t>(date.days));
        set32(file, at + 4, static_cast<std::uint32_t>(date.milliseconds));
      }
    }
    if (era_ >= Era::kR11) set16(file, 0x3F9, spec_.codePage);
    if (era_ >= Era::kR10) {
      set16(file, 0x4EC, spec_.handling ? 1 : 0);
      const std::uint64_t seed = spec_.handseed != 0 ? spec_.handseed : nextHandle_;
      for (int i = 0; i < 8; ++i) file[0x4EE + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seed >> (8 * (7 - i)));
    }
    return file;
  }

  // AC1.40: the header, then the counted entities; block definitions stand
  // among them, between a block start and a block end.
  Bytes writeEarly() const {
    constexpr std::size_t kHeader = 0x202;
    Bytes file(kHeader, 0);
    std::memcpy(file.data(), spec_.version.data(), 6);
    std::uint16_t count = 0;
    const auto head = [&](std::uint8_t kind, bool erased, std::uint16_t layer) {
      put16(file, static_cast<std::uint16_t>(erased ? -static_cast<std::int16_t>(kind) : kind));
      put16(file, layer);
      ++count;
    };
    for (const std::string& name : spec_.blocks) {
      head(kBlockBegin, false, 0);
      putText(file, name);
      putDouble(file, 0.0), putDouble(file, 0.0);
      head(1, false, 0);  // a line inside the block
      for (int i = 0; i < 4; ++i) putDouble(file, static_cast<double>(i));
      head(kBlockEnd, false, 0);
    }
    for (const OldEntitySpec& e : spec_.entities) {
      switch (e.kind) {
        case Kind::kLine:
          head(1, e.erased, e.layer);
          for (const std::size_t i : {0, 1, 3, 4}) putDouble(file, number(e, i));
          break;
        case Kind::kPoint:
          head(2, e.erased, e.layer);
          putDouble(file, number(e, 0)), putDouble(file, number(e, 1));
          break;
        case Kind::kCircle:
          head(3, e.erased, e.layer);
          for (std::size_t i = 0; i < 3; ++i) putDouble(file, number(e, i, 1.0));
          break;
        case Kind::kArc:
          head(8, e.erased, e.layer);
          for (std::size_t i = 0; i < 5; ++i) putDouble(file, number(e, i, 1.0));
          break;
        case Kind::kText:
          head(7, e.erased, e.layer);
          for (std::size_t i = 0; i < 3; ++i) putDouble(file, number(e, i, 1.0));
          putDouble(file, 0.0);
          putText(file, e.text);
          break;
        case Kind::kTrace:
        case Kind::kSolid:
          head(e.kind == Kind::kTrace ? 9 : 11, e.erased, e.layer);
          for (std::size_t i = 0; i < 8; ++i) putDouble(file, number(e, i));
          break;
        case Kind::kShape:
          head(4, e.erased, e.layer);
          for (std::size_t i = 0; i < 4; ++i) putDouble(file, number(e, i, 1.0));
          put16(file, 1);
          break;
        case Kind::kInsert:
          head(14, e.erased, e.layer);
          putText(file, e.block < spec_.blocks.size() ? spec_.blocks[e.block] : std::string());
          putDouble(file, number(e, 0)), putDouble(file, number(e, 1));
          putDouble(file, number(e, 2, 1.0)), putDouble(file, number(e, 3, 1.0));
          putDouble(file, number(e, 4));
          break;
        default: break;  // kinds that AC1.40 does not have
      }
    }
    set32(file, 0x24, static_cast<std::uint32_t>(file.size()));
    set16(file, 0x28, count);
    return file;
  }

  const OldDrawingSpec& spec_;
  Era era_;
  std::uint64_t nextHandle_ = 1;
};

}  // namespace

std::vector<std::uint8_t> writeOldDrawing(const OldDrawingSpec& wanted) {
  Era era{};
  if (wanted.version.size() != 6 || !eraOf(wanted.version, era)) return {};
  return Writer(wanted, era).write();
}

const std::vector<std::string>& knownOldVersions() {
  static const std::vector<std::string> versions{"AC1.40", "AC1.50", "AC2.10", "AC1001", "AC1002",
                                                 "AC1003", "AC1004", "AC1006", "AC1009"};
  return versions;
}

std::string oldDrawingOf(const DrawingSpec& plan, OldDrawingSpec& out) {
  Era era{};
  if (!eraOf(plan.version, era)) return "unknown version \"" + plan.version + "\"";
  const std::string needsNewer = " needs AC1012 or later";
  if (!plan.blocks.empty()) return "block definitions" + needsNewer;
  if (plan.preview.format != PreviewFormat::kNone) return "a preview" + needsNewer;
  // An entity's size is stored in 16 bits, and so are a text's length and,
  // in AC1.40, the count of entities.
  constexpr std::size_t kMaxText = 0xFF00;
  if (era == Era::kR1_4 && plan.entities.size() > 0xFFFF) return "more than 65535 entities" + needsNewer;
  OldDrawingSpec old;
  old.version = plan.version;
  old.created = {plan.days, plan.milliseconds};
  const Stamp editing = detail::editingStamp(plan);
  const Stamp updated = detail::updatedStamp(plan);
  const Stamp timer = plan.userTimer.value_or(editing);
  old.updated = {updated.days, updated.milliseconds};
  old.editingTime = {editing.days, editing.milliseconds};
  old.userTimer = {timer.days, timer.milliseconds};
  old.handseed = plan.handseed.value_or(0);
  old.codePage = plan.codePage;
  const auto stored = [](const std::string& text) {
    std::string bytes;
    detail::toCodePage1252(text, bytes);  // writeDrawing has checked that it converts
    return bytes;
  };
  for (const std::string& layer : plan.layers) {
    old.layers.push_back(stored(layer));
    if (old.layers.back().size() > 31) return "layer \"" + layer + "\" is longer than 31 bytes, which" + needsNewer;
  }
  if (old.layers.size() > 0xFFFF) return "more than 65535 layers" + needsNewer;
  std::size_t placed[2] = {0, 0};  // entities so far in model and in paper space
  for (const EntitySpec& e : plan.entities) {
    const std::string type = detail::upper(e.type);
    const std::string name = type + " " + detail::hex(e.handle);
    OldEntitySpec o;
    o.paper = e.paperSpace;
    if (o.paper && era < Era::kR11) return name + " is in paper space, which needs AC1009 or later";
    o.handle = e.handle;
    for (std::size_t l = 0; l < plan.layers.size(); ++l) {
      if (detail::upper(plan.layers[l]) == detail::upper(e.layer)) o.layer = static_cast<std::uint16_t>(l + 1);
    }
    const std::vector<double> n = e.numbers.empty() ? placedGeometry(type, placed[o.paper ? 1 : 0]) : e.numbers;
    ++placed[o.paper ? 1 : 0];
    // The heights the version can store: none in AC1.40, an elevation of
    // circles and arcs before AC1006, every point's own from then on.
    bool flat = true;
    if (type == "LINE" || type == "POINT") {
      o.kind = type == "LINE" ? Kind::kLine : Kind::kPoint;
      o.numbers = n;
      for (std::size_t z = 2; z < n.size(); z += 3) flat = flat && n[z] == 0.0;
      if (!flat && era < Era::kR10) return name + " has a height, which needs AC1006 or later";
    } else if (type == "CIRCLE" || type == "ARC") {
      o.kind = type == "CIRCLE" ? Kind::kCircle : Kind::kArc;
      o.numbers = {n[0], n[1]};
      o.numbers.insert(o.numbers.end(), n.begin() + 3, n.end());
      o.elevation = n[2];
      if (n[2] != 0.0 && era == Era::kR1_4) return name + " has a height, which needs AC1.50 or later";
    } else if (type == "TEXT") {
      o.kind = Kind::kText;
      o.numbers = n;
      o.text = e.numbers.empty() && e.text.empty() ? std::string("VELDRA") : stored(e.text);
      if (o.text.size() > kMaxText) return "the text of " + name + " is too long for an old drawing";
    } else if (type == "LWPOLYLINE" && era != Era::kR1_4) {
      o.kind = Kind::kPolyline;
      for (std::size_t v = 0; v + 2 < n.size(); v += 3) o.vertices.push_back({n[v], n[v + 1], n[v + 2]});
    } else {
      return name + " is of a kind " + plan.version + " does not have";
    }
    old.entities.push_back(std::move(o));
  }
  out = std::move(old);
  return "";
}

}  // namespace veldra::dwgwrite
