// The exchange form read into the same facts as a DWG: the header variables
// of the evidence, the top-level entities of model space and of the layouts
// with the class names and numbers the DWG readers give, and the preview.
// The groups are read once, in file order, where they lie.

#include "dxf_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dxf_groups.h"
#include "format.h"
#include "text_codec.h"

namespace veldra::dwg::detail {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr double kFullTurn = 2 * 3.14159265358979323846;
constexpr std::int64_t kDayMs = 86400000;
// What keeping one entity costs in memory, counted against the drawing's cost
// bound: the summary entry, and its geometry when asked for.
constexpr std::uint64_t kEntityCost = 64;
constexpr std::uint64_t kGeometryCost = 128;

// Polyline flags (group 70).
constexpr std::int64_t kClosed = 0x01;
constexpr std::int64_t kCurveFit = 0x02;
constexpr std::int64_t kSplineFit = 0x04;
constexpr std::int64_t k3dPolyline = 0x08;
constexpr std::int64_t kMesh = 0x10;
constexpr std::int64_t kPolyfaceMesh = 0x40;

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

bool startsIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && sameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool validUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = 0;
    char32_t least = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3, least = 0x10000;
    } else {
      return false;
    }
    if (i + n >= text.size()) return false;
    char32_t cp = c & (0x3F >> n);
    for (std::size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

// The code page numbers of the DWG file header for the names $DWGCODEPAGE gives.
std::optional<std::uint16_t> codePageNumber(std::string_view name) {
  static constexpr std::pair<std::string_view, std::uint16_t> kPages[] = {
      {"ASCII", 1},      {"US_ASCII", 1},   {"ISO8859-1", 2},  {"ISO_8859_1", 2},  {"ISO8859-2", 3},
      {"ISO_8859_2", 3}, {"ISO8859-3", 4},  {"ISO_8859_3", 4}, {"ISO8859-4", 5},   {"ISO_8859_4", 5},
      {"ISO8859-5", 6},  {"ISO_8859_5", 6}, {"ISO8859-6", 7},  {"ISO_8859_6", 7},  {"ISO8859-7", 8},
      {"ISO_8859_7", 8}, {"ISO8859-8", 9},  {"ISO_8859_8", 9}, {"ISO8859-9", 10},  {"ISO_8859_9", 10},
      {"DOS437", 11},    {"DOS850", 12},    {"DOS852", 13},    {"DOS855", 14},     {"DOS857", 15},
      {"DOS860", 16},    {"DOS861", 17},    {"DOS863", 18},    {"DOS864", 19},     {"DOS865", 20},
      {"DOS869", 21},    {"DOS932", 22},    {"MACINTOSH", 23}, {"BIG5", 24},       {"KSC5601", 25},
      {"JOHAB", 26},     {"DOS866", 27},    {"ANSI_1250", 28}, {"ANSI_1251", 29},  {"ANSI_1252", 30},
      {"GB2312", 31},    {"ANSI_1253", 32}, {"ANSI_1254", 33}, {"ANSI_1255", 34},  {"ANSI_1256", 35},
      {"ANSI_1257", 36}, {"ANSI_874", 37},  {"ANSI_932", 38},  {"ANSI_936", 39},   {"ANSI_949", 40},
      {"ANSI_950", 41},  {"ANSI_1361", 42}, {"ANSI_1200", 43}, {"ANSI_1258", 44},
      {"MAC-ROMAN", 23},  // as other writers name the Macintosh page
  };
  for (const auto& [page, number] : kPages)
    if (sameIgnoringCase(page, name)) return number;
  return std::nullopt;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "AC" and four digits, or the earliest releases' names with a point
// among their digits ("AC2.10").
bool isVersionName(std::string_view v) {
  if (v.size() != 6 || v[0] != 'A' || v[1] != 'C') return false;
  if (isDigit(v[2]) && v[3] == '.' && isDigit(v[4]) && isDigit(v[5])) return true;
  for (std::size_t i = 2; i < 6; ++i)
    if (!isDigit(v[i])) return false;
  return true;
}

// True for `version` the same as or later than `than` (four digits): the
// names with a point come before every other.
bool atLeast(std::string_view version, std::string_view than) {
  return version.find('.') == std::string_view::npos && version >= than;
}

// A Julian date (or a duration in days) as whole days and milliseconds.
bool storedDate(const DxfGroup& g, StoredDate& out) {
  double julian = 0.0;
  if (!g.asReal(julian) || !(julian >= 0.0 && julian < 1e7)) return false;
  double days = std::floor(julian);
  auto ms = static_cast<std::int64_t>(std::llround((julian - days) * static_cast<double>(kDayMs)));
  if (ms >= kDayMs) days += 1, ms -= kDayMs;
  out.days = static_cast<std::int32_t>(days);
  out.milliseconds = static_cast<std::int32_t>(ms);
  return true;
}

bool hexHandle(std::string_view text, std::uint64_t& out) {
  if (text.empty() || text.size() > 16) return false;
  out = 0;
  for (const char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (upper(c) >= 'A' && upper(c) <= 'F') {
      digit = upper(c) - 'A' + 10;
    } else {
      return false;
    }
    out = (out << 4) | static_cast<std::uint64_t>(digit);
  }
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (upper(c) >= 'A' && upper(c) <= 'F') return upper(c) - 'A' + 10;
  return -1;
}

// Where an entity is listed: model space, the layout that is current
// (paper-space entities of the ENTITIES section and the block *Paper_Space)
// and the other layouts; entities of other blocks are not listed.
// Where an entity goes: a space's list, or a named block's own entities
// (kept only when blocks are asked for).
enum class Place { kNone, kEntities, kModelBlock, kPaperBlock, kLayouts, kNamedBlock };
constexpr std::size_t kLists = 5;  // model, model block, paper, paper block, layouts

// The numbers an entity gives, kept by group code while its groups go by.
enum Slot { k10, k20, k30, k11, k21, k31, k38, k40, k41, k42, k43, k44, k45, k50, k51, kSlots };

int slotOf(int code) {
  switch (code) {
    case 10: return k10;
    case 20: return k20;
    case 30: return k30;
    case 11: return k11;
    case 21: return k21;
    case 31: return k31;
    case 38: return k38;
    case 40: return k40;
    case 41: return k41;
    case 42: return k42;
    case 43: return k43;
    case 44: return k44;
    case 45: return k45;
    case 50: return k50;
    case 51: return k51;
    default: return -1;
  }
}

struct Pending {
  bool active = false;
  std::string_view type;
  Place place = Place::kNone;
  Place* blockOwner = nullptr;  // a block's start: where its entities go
  std::uint64_t offset = 0;
  std::uint64_t handle = 0;
  bool hasHandle = false;
  bool badHandle = false;
  bool paper = false;
  std::optional<std::string_view> layer;
  std::optional<std::string_view> text;   // group 1
  std::optional<std::string_view> name;   // group 2
  std::string_view subclass;              // the last subclass marker
  std::int64_t flags = 0;                 // group 70
  std::int64_t rows = 0;                  // group 71
  std::array<double, kSlots> value{};
  std::array<bool, kSlots> has{};
  std::vector<double> vertices;           // a light-weight polyline's x y bulge
  std::optional<std::uint64_t> badNumber; // where a number did not parse
  // In a paragraph text's extended data: within the application ACAD, and
  // within its list of column pieces or of text frames.
  bool acadData = false;
  std::string_view piecesOf;              // the kind of piece listed now, or empty
};

class DxfReader {
 public:
  DxfReader(std::span<const std::uint8_t> data, const ReadRequest& request, Drawing& out)
      : data_(data), groups_(data), request_(request), out_(out) {
    const std::uint64_t bound = costBound(data.size());
    costLeft_ = bound > data.size() ? bound - data.size() : 0;
  }

  Status read() {
    readHeaderAhead();
    DxfGroup g;
    bool ended = false;
    bool stray = false;
    while (!failed() && groups_.next(g)) {
      if (g.code == 999) continue;
      if (g.code != 0 || !g.is("SECTION")) {
        if (g.code == 0 && g.is("EOF")) {
          ended = true;
          break;
        }
        if (!stray) note("groups outside any section, from here on, were passed over", g.offset);
        stray = true;
        continue;
      }
      stray = false;
      DxfGroup name;
      if (!groups_.next(name)) break;
      if (name.code != 2) {
        note("a section without a name was passed over", g.offset);
        groups_.putBack(name);
        continue;
      }
      const std::string_view section = name.trimmed();
      if (section == "HEADER") {
        readHeader();
      } else if (section == "ENTITIES") {
        settleHeader();
        readEntities(Place::kEntities, "ENTITIES");
      } else if (section == "BLOCKS") {
        settleHeader();
        readEntities(Place::kNone, "BLOCKS");
      } else if (section == "THUMBNAILIMAGE") {
        readThumbnail();
      } else {
        skipSection(section);
      }
    }
    settleHeader();
    if (!groups_.status().ok()) return groups_.status();
    if (!status_.ok()) return status_;
    if (!ended) note("the file ends without EOF", groups_.offset());
    if (missingHandles_ > 0)
      note(std::to_string(missingHandles_) + (missingHandles_ == 1 ? " entity has" : " entities have") +
               " no handle",
           firstMissingHandle_);
    gather();
    return Status::Ok();
  }

 private:
  bool failed() const { return !status_.ok(); }

  void note(std::string message, std::uint64_t offset) {
    out_.summary.damage.push_back(Damage{"DXF", offset, std::move(message)});
  }

  // Worth a word, but no damage.
  void tell(std::string message, std::uint64_t offset) {
    out_.summary.notes.push_back(Note{"DXF", offset, std::move(message)});
  }

  // True when `g` ends the section named `name`: its ENDSEC (read), or the
  // start of the next section or the end of the file, which are left for the
  // caller and noted as damage.
  bool endsSection(const DxfGroup& g, std::string_view name) {
    if (g.code != 0) return false;
    if (g.is("ENDSEC")) return true;
    if (g.is("SECTION") || g.is("EOF")) {
      note("section " + std::string(name) + " has no ENDSEC", g.offset);
      groups_.putBack(g);
      return true;
    }
    return false;
  }

  // Not told of a drawing refused meanwhile: its sections were not read to their end.
  void unclosed(std::string_view name) {
    if (groups_.status().ok() && status_.ok()) note("section " + std::string(name) + " is not closed at the end of the file",
                                    groups_.offset());
  }

  void skipSection(std::string_view name) {
    DxfGroup g;
    while (groups_.next(g))
      if (endsSection(g, name)) return;
    unclosed(name);
  }

  // ---- HEADER ----

  static constexpr std::string_view kHeaderNames[] = {
      "$ACADVER",        "$TDCREATE",    "$TDUCREATE",  "$TDUPDATE", "$TDUUPDATE",   "$TDINDWG",
      "$TDUSRTIMER",     "$HANDSEED",    "$FINGERPRINTGUID", "$VERSIONGUID", "$DWGCODEPAGE", "$HANDLING",
      "$LASTSAVEDBY",
  };

  // Takes a header variable's value (the group after its name) where it is
  // one of kHeaderNames and not taken before.
  class HeaderVariables {
   public:
    explicit HeaderVariables(std::array<std::optional<DxfGroup>, std::size(kHeaderNames)>& values)
        : values_(values) {}
    void take(const DxfGroup& g) {
      if (g.code == 9) {
        wanted_ = kNone;
        taken_ = false;
        const std::string_view name = g.trimmed();
        for (std::size_t i = 0; i < std::size(kHeaderNames); ++i)
          if (kHeaderNames[i] == name) wanted_ = i;
      } else if (!taken_) {
        taken_ = true;
        if (wanted_ != kNone && !values_[wanted_]) values_[wanted_] = g;
      }
    }

   private:
    static constexpr std::size_t kNone = std::size(kHeaderNames);
    std::array<std::optional<DxfGroup>, std::size(kHeaderNames)>& values_;
    std::size_t wanted_ = kNone;
    bool taken_ = true;
  };

  void readHeader() {
    HeaderVariables variables(header_);
    DxfGroup g;
    while (groups_.next(g)) {
      if (endsSection(g, "HEADER")) {
        settleHeader();
        return;
      }
      variables.take(g);
    }
    unclosed("HEADER");
    settleHeader();
  }

  // A HEADER after the entities gives the version, code page and handles
  // they are read with all the same: where another section comes first, the
  // header's variables are looked for before anything is read. The section
  // is read again in its turn, for its faults.
  void readHeaderAhead() {
    DxfGroups ahead(data_);
    DxfGroup g;
    bool first = true;
    while (ahead.next(g)) {
      if (g.code != 0 || !g.is("SECTION")) continue;
      DxfGroup name;
      if (!ahead.next(name)) return;
      const bool header = name.code == 2 && name.trimmed() == "HEADER";
      if (header && first) return;
      first = false;
      if (!header) continue;
      HeaderVariables variables(header_);
      while (ahead.next(g) && g.code != 0) variables.take(g);
      return;
    }
  }

  enum Variable {
    kAcadVer, kTdCreate, kTduCreate, kTdUpdate, kTduUpdate, kTdInDwg, kTdUsrTimer, kHandseed, kFingerprint,
    kVersionGuid, kCodePage, kHandling, kLastSavedBy, kVariables
  };
  static_assert(kVariables == std::size(kHeaderNames));

  // The version, code page and handles the entities are read with, from the
  // header when it came first; once.
  void settleHeader() {
    if (settled_) return;
    settled_ = true;
    Summary& s = out_.summary;
    const auto& ver = header_[kAcadVer];
    if (ver && isVersionName(ver->trimmed())) {
      s.version = std::string(ver->trimmed());
    } else {
      s.version = "AC1009";
      note(ver ? "$ACADVER names no version; read as AC1009" : "no $ACADVER; read as AC1009",
           ver ? ver->offset : 0);
    }
    utf8_ = atLeast(s.version, "AC1021");
    if (const auto& page = header_[kCodePage]) {
      if (const auto number = codePageNumber(page->trimmed())) {
        codePage_ = *number;
      } else {
        tell("unknown code page " + std::string(page->trimmed()) + "; texts read as ANSI_1252", page->offset);
      }
    }
    std::int64_t handling = 1;
    if (const auto& h = header_[kHandling]) h->asInteger(handling);
    handlesExpected_ = atLeast(s.version, "AC1012") || (header_[kHandling] && handling != 0);

    // Dates mean what they mean in a DWG of the same version: universal time
    // from AC1015 on, the local clock before.
    const bool universal = storesUniversalTime(s.version);
    dateOf(universal ? kTduCreate : kTdCreate, universal ? kTdCreate : kTdCreate, s.created, "creation");
    tellCreationGap();
    if (!request_.evidence) return;
    Evidence& e = out_.evidence;
    StoredDate date;
    if (dateOf(universal ? kTduUpdate : kTdUpdate, kTdUpdate, date, "update")) e.updated = date;
    if (header_[kTdInDwg] && storedDate(*header_[kTdInDwg], date)) e.editingTime = date;
    if (header_[kTdUsrTimer] && storedDate(*header_[kTdUsrTimer], date)) e.userTimer = date;
    if (const auto& h = header_[kHandseed]) {
      std::uint64_t seed = 0;
      if (hexHandle(h->trimmed(), seed)) {
        e.handseed = seed;
      } else {
        note("$HANDSEED is no hexadecimal handle", h->offset);
      }
    }
    if (header_[kFingerprint]) e.fingerprintGuid = decode(header_[kFingerprint]->trimmed(), header_[kFingerprint]->offset);
    if (header_[kVersionGuid]) e.versionGuid = decode(header_[kVersionGuid]->trimmed(), header_[kVersionGuid]->offset);
    if (header_[kLastSavedBy]) {
      SummaryInfo info;
      info.lastSavedBy = decode(header_[kLastSavedBy]->text, header_[kLastSavedBy]->offset);
      e.summaryInfo = std::move(info);
    }
  }

  // The local and the universal creation time differ by the machine's time
  // zone, never more than fourteen hours; farther apart, one of them is not
  // this drawing's own (a template's left behind): told, both kept as read.
  void tellCreationGap() {
    StoredDate local, universal;
    if (!header_[kTdCreate] || !header_[kTduCreate] || !storedDate(*header_[kTdCreate], local) ||
        !storedDate(*header_[kTduCreate], universal))
      return;
    constexpr double kWidestZoneHours = 14;
    const double hours = std::abs(local.julian() - universal.julian()) * 24;
    if (!(hours > kWidestZoneHours + 1.0 / 60)) return;
    const std::string apart = hours >= 48 ? std::to_string(std::llround(hours / 24)) + " days"
                                          : std::to_string(std::llround(hours)) + " hours";
    tell("$TDCREATE and $TDUCREATE are " + apart + " apart, more than a time zone: one of them is not this "
         "drawing's own creation",
         header_[kTduCreate]->offset);
  }

  // A date from the variable `first`, else from the local `fallback` with a
  // note that the universal value is missing; false when neither is stored.
  bool dateOf(Variable first, Variable fallback, StoredDate& out, std::string_view what) {
    Variable used = first;
    if (!header_[first]) {
      if (!header_[fallback]) return false;
      used = fallback;
      note(std::string("the ") + std::string(what) + " time is stored only as local time; taken as universal",
           header_[fallback]->offset);
    }
    if (storedDate(*header_[used], out)) return true;
    note(std::string("the ") + std::string(what) + " date is no date", header_[used]->offset);
    return false;
  }

  // Text of the drawing as UTF-8: UTF-8 from AC1021 on, the code page before.
  std::string decode(std::string_view text, std::uint64_t offset) {
    if (utf8_) {
      if (validUtf8(text)) return std::string(text);
      if (!badUtf8_) note("texts that are not UTF-8 were read in the code page $DWGCODEPAGE names", offset);
      badUtf8_ = true;
    }
    return codePageToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), codePage_);
  }

  // A layer's name, decoded once: a drawing names few layers many times.
  const std::string& layerName(std::string_view stored, std::uint64_t offset) {
    const auto it = layerNames_.find(stored);
    if (it != layerNames_.end()) return it->second;
    return layerNames_.emplace(stored, decode(stored, offset)).first->second;
  }

  // ---- ENTITIES and BLOCKS ----

  // Reads entities until the section ends. `place` is kEntities for the
  // ENTITIES section; in BLOCKS it follows each block's name.
  void readEntities(Place place, std::string_view section) {
    Pending p;
    DxfGroup g;
    while (!failed() && groups_.next(g)) {
      if (g.code == 0) {
        finish(p);
        if (endsSection(g, section)) return;
        start(p, g, place);
      } else if (p.active) {
        feed(p, g);
      }
    }
    finish(p);
    unclosed(section);
  }

  void start(Pending& p, const DxfGroup& g, Place& place) {
    p = Pending{};
    p.active = true;
    p.type = g.trimmed();
    p.offset = g.offset;
    if (place != Place::kEntities) {
      // A block's bounds set where the entities between them go.
      if (p.type == "ENDBLK") place = Place::kNone;
      if (p.type == "BLOCK") p.blockOwner = &place;
    }
    p.place = (p.type == "BLOCK" || p.type == "ENDBLK") ? Place::kNone : place;
    if (p.type == "INSERT") p.value[k41] = p.value[k42] = p.value[k43] = 1.0;
    if (p.type == "ELLIPSE") p.value[k42] = kFullTurn;
  }

  void feed(Pending& p, const DxfGroup& g) {
    if (p.place == Place::kNone) {
      if (p.type == "BLOCK" && g.code == 2) p.name = g.text;
      return;
    }
    switch (g.code) {
      case 5:
        if (hexHandle(g.trimmed(), p.handle)) {
          p.hasHandle = true;
        } else {
          p.badHandle = true;
        }
        return;
      case 8: p.layer = g.text; return;
      case 1: p.text = g.text; return;
      case 2: p.name = g.text; return;
      case 100: p.subclass = g.trimmed(); return;
      case 1001:
      case 1000:
      case 1005:
        if (p.type == "MTEXT") linkedPiece(p, g);
        return;
      case 67: {
        std::int64_t v = 0;
        if (!g.asInteger(v)) return badNumber(p, g);
        p.paper = v != 0;
        return;
      }
      case 70:
      case 71: {
        std::int64_t v = 0;
        if (!g.asInteger(v)) return badNumber(p, g);
        (g.code == 70 ? p.flags : p.rows) = v;
        return;
      }
      default: break;
    }
    if (!request_.geometry) return;
    const int slot = slotOf(g.code);
    if (slot < 0) return;
    double v = 0.0;
    if (!g.asReal(v)) return badNumber(p, g);
    if (p.type == "LWPOLYLINE") {
      // Each vertex starts with its x; its y and bulge follow.
      if (slot == k10) {
        if (!spend(3 * sizeof(double))) return;
        p.vertices.insert(p.vertices.end(), {v, 0.0, 0.0});
      } else if ((slot == k20 || slot == k42) && !p.vertices.empty()) {
        p.vertices[p.vertices.size() - (slot == k20 ? 2 : 1)] = v;
      }
      return;
    }
    p.value[static_cast<std::size_t>(slot)] = v;
    p.has[static_cast<std::size_t>(slot)] = true;
  }

  // Writers before R2018 save a paragraph text's columns after the first
  // and its text frame as entities of their own (paragraph texts, a
  // polyline), which the text names by handle in its extended data; R2018
  // keeps them within the text. They are one entity, as in R2018.
  void linkedPiece(Pending& p, const DxfGroup& g) {
    if (g.code == 1001) {
      p.acadData = g.trimmed() == "ACAD";
      p.piecesOf = {};
    } else if (!p.acadData) {
      return;
    } else if (g.code == 1000) {
      const std::string_view marker = g.trimmed();
      if (marker == "ACAD_MTEXT_COLUMNS_BEGIN") p.piecesOf = "AcDbMText";
      else if (marker == "ACAD_MTEXT_TEXT_BORDERS_BEGIN") p.piecesOf = "AcDbPolyline";
      else if (marker.ends_with("_END")) p.piecesOf = {};
    } else if (std::uint64_t handle = 0; !p.piecesOf.empty() && hexHandle(g.trimmed(), handle) && handle != p.handle) {
      folded_.emplace(handle, p.piecesOf);
    }
  }

  // Takes the pieces folded into their paragraph texts out of the lists.
  void dropFolded() {
    if (folded_.empty()) return;
    for (std::size_t list = 0; list < kLists; ++list) {
      std::vector<Entity>& entities = entities_[list];
      std::vector<EntityGeometry>* geometry = request_.geometry ? &geometry_[list] : nullptr;
      std::size_t kept = 0;
      for (std::size_t i = 0; i < entities.size(); ++i) {
        const auto found = entities[i].hasHandle ? folded_.find(entities[i].handle) : folded_.end();
        if (found != folded_.end() && found->second == entities[i].className) continue;
        if (kept != i) {
          entities[kept] = std::move(entities[i]);
          if (geometry) (*geometry)[kept] = std::move((*geometry)[i]);
        }
        ++kept;
      }
      entities.resize(kept);
      if (geometry) geometry->resize(kept);
    }
  }

  void badNumber(Pending& p, const DxfGroup& g) {
    if (!p.badNumber) p.badNumber = g.offset;
  }

  bool spend(std::uint64_t bytes) {
    if (bytes <= costLeft_) {
      costLeft_ -= bytes;
      return true;
    }
    if (status_.ok())
      status_ = makeError(ErrorKind::kCorrupt, "the drawing holds more than one drawing may take in memory",
                          groups_.offset(), "DXF");
    return false;
  }


  std::string_view className(const Pending& p) const {
    // The common kinds first: most entities of a drawing are of a few kinds.
    static constexpr std::pair<std::string_view, std::string_view> kClasses[] = {
        {"LINE", "AcDbLine"},          {"LWPOLYLINE", "AcDbPolyline"},   {"CIRCLE", "AcDbCircle"},
        {"ARC", "AcDbArc"},            {"TEXT", "AcDbText"},             {"POINT", "AcDbPoint"},
        {"MTEXT", "AcDbMText"},        {"HATCH", "AcDbHatch"},           {"ELLIPSE", "AcDbEllipse"},
        {"SPLINE", "AcDbSpline"},      {"SOLID", "AcDbSolid"},           {"3DFACE", "AcDbFace"},
        {"3DLINE", "AcDbLine"},        {"ATTDEF", "AcDbAttributeDefinition"}, {"SHAPE", "AcDbShape"},
        {"TRACE", "AcDbTrace"},        {"VIEWPORT", "AcDbViewport"},     {"REGION", "AcDbRegion"},
        {"3DSOLID", "AcDb3dSolid"},    {"BODY", "AcDbBody"},             {"RAY", "AcDbRay"},
        {"XLINE", "AcDbXline"},        {"LEADER", "AcDbLeader"},         {"TOLERANCE", "AcDbFcf"},
        {"MLINE", "AcDbMline"},        {"OLEFRAME", "AcDbOleFrame"},     {"OLE2FRAME", "AcDbOle2Frame"},
        {"IMAGE", "AcDbRasterImage"},  {"WIPEOUT", "AcDbWipeout"},       {"MULTILEADER", "AcDbMLeader"},
        {"MLEADER", "AcDbMLeader"},    {"ACAD_TABLE", "AcDbTable"},      {"ACAD_PROXY_ENTITY", "AcDbZombieEntity"},
    };
    for (const auto& [type, name] : kClasses)
      if (type == p.type) return name;
    if (p.type == "INSERT") return (p.flags > 1 || p.rows > 1) ? "AcDbMInsertBlock" : "AcDbBlockReference";
    if (p.type == "DIMENSION") {
      static constexpr std::string_view kDimensions[] = {
          "AcDbRotatedDimension",     "AcDbAlignedDimension", "AcDb2LineAngularDimension", "AcDbDiametricDimension",
          "AcDbRadialDimension", "AcDb3PointAngularDimension", "AcDbOrdinateDimension"};
      const auto type = static_cast<std::size_t>(p.flags & 0x0F);
      return type < std::size(kDimensions) ? kDimensions[type] : "AcDbRotatedDimension";
    }
    if (p.type == "POLYLINE") {
      if (p.flags & k3dPolyline) return "AcDb3dPolyline";
      if (p.flags & kMesh) return "AcDbPolygonMesh";
      if (p.flags & kPolyfaceMesh) return "AcDbPolyFaceMesh";
      // Before R13 a plain two-dimensional polyline becomes the light-weight
      // kind when the drawing is opened, as an old DWG's does.
      if (atLeast(out_.summary.version, "AC1012") || (p.flags & (kCurveFit | kSplineFit))) return "AcDb2dPolyline";
      return "AcDbPolyline";
    }
    if (!p.subclass.empty() && p.subclass != "AcDbEntity") return p.subclass;
    return p.type;
  }

  void finish(Pending& p) {
    if (!p.active) return;
    p.active = false;
    if (p.type == "BLOCK") {
      if (p.blockOwner != nullptr) {
        *p.blockOwner = blockPlace(p.name.value_or(std::string_view{}));
        if (*p.blockOwner == Place::kNamedBlock) {
          // A block costs its name even when it holds nothing.
          if (!spend(kEntityCost)) return;
          namedBlock_ = out_.blocks.size();
          out_.blocks.emplace_back().name = decode(p.name.value_or(std::string_view{}), p.offset);
        }
      }
      return;
    }
    if (p.place == Place::kNone || p.type == "ATTRIB" || p.type == "ENDBLK") return;
    if (p.type == "SEQEND") return closePolyline();
    if (p.type == "VERTEX") return addVertex(p);
    closePolyline();
    if (p.place == Place::kNamedBlock) return addToBlock(p);
    if (p.type.empty()) return note("an entity without a type was passed over", p.offset);
    if (!spend(kEntityCost + (request_.geometry ? kGeometryCost : 0))) return;

    Entity e;
    e.className = className(p);
    e.handle = p.handle;
    e.hasHandle = p.hasHandle;
    if (!p.hasHandle && (handlesExpected_ || p.badHandle)) {
      if (missingHandles_++ == 0) firstMissingHandle_ = p.offset;
    }
    std::size_t list = 0;
    switch (p.place) {
      case Place::kEntities: list = p.paper ? 2 : 0; break;
      case Place::kModelBlock: list = 1; break;
      case Place::kPaperBlock: list = 3; break;
      default: list = 4; break;
    }
    e.space = (list == 0 || list == 1) ? Space::kModel : Space::kPaper;
    if (request_.geometry) fillGeometry(p, e.className, geometry_[list].emplace_back());
    if (p.type == "POLYLINE") {
      openPolyline_ = std::make_pair(list, entities_[list].size());
      openPolylineClosed_ = (p.flags & kClosed) != 0;
      openPolylineFaulty_ = false;
    }
    entities_[list].push_back(std::move(e));
  }

  Place blockPlace(std::string_view name) const {
    name = name.substr(0, name.find_last_not_of(" \t\r") + 1);
    if (sameIgnoringCase(name, "*Model_Space")) return Place::kModelBlock;
    if (sameIgnoringCase(name, "*Paper_Space")) return Place::kPaperBlock;
    if (startsIgnoringCase(name, "*Paper_Space")) return Place::kLayouts;
    return request_.blocks && request_.geometry && !name.empty() ? Place::kNamedBlock : Place::kNone;
  }

  // An entity of a named block: its kind and geometry, for drawing the
  // block's references. An old-style polyline's vertices are not kept here.
  void addToBlock(Pending& p) {
    if (namedBlock_ >= out_.blocks.size() || p.type == "POLYLINE" || p.type.empty()) return;
    // Blocks have a bound of their own: past it they are left out, and the
    // drawing is read as without them.
    if (blockEntities_ >= kMaxBlockEntities) return;
    ++blockEntities_;
    BlockContents& block = out_.blocks[namedBlock_];
    const std::string kind(className(p));
    block.kinds.push_back(kind);
    const std::size_t notesBefore = out_.summary.damage.size();
    fillGeometry(p, kind, block.geometry.emplace_back());
    out_.summary.damage.resize(notesBefore);  // a block's doubts are the picture's, not the drawing's
  }

  // The end of a polyline's vertices: a closed one's last side runs back
  // to its first vertex.
  void closePolyline() {
    if (openPolyline_ && openPolylineClosed_ && request_.geometry) {
      const auto [list, index] = *openPolyline_;
      std::vector<double>& n = geometry_[list][index].numbers;
      if (entities_[list][index].className == "AcDbPolyline" && n.size() >= 6 && spend(3 * sizeof(double)))
        n.insert(n.end(), {n[0], n[1], 0.0});
    }
    openPolyline_.reset();
  }

  void addVertex(const Pending& p) {
    if (!openPolyline_ || !request_.geometry) return;
    const auto [list, index] = *openPolyline_;
    if (entities_[list][index].className != "AcDbPolyline") return;
    EntityGeometry& owner = geometry_[list][index];
    // After a vertex that does not parse the others would draw another shape.
    if (openPolylineFaulty_) return;
    if (p.badNumber) {
      openPolylineFaulty_ = true;
      geometryFault(owner, *p.badNumber, "a vertex number does not parse");
      return;
    }
    if (!spend(3 * sizeof(double))) return;
    owner.numbers.insert(owner.numbers.end(), {p.value[k10], p.value[k20], p.value[k42]});
  }

  // The numbers are dropped; the layer, read apart from them, stays.
  void geometryFault(EntityGeometry& geometry, std::uint64_t offset, std::string_view why) {
    geometry.numbers.clear();
    geometry.text.reset();
    note("geometry not read: " + std::string(why), offset);
  }

  void fillGeometry(Pending& p, const std::string& kind, EntityGeometry& g) {
    g.layer = p.layer ? layerName(*p.layer, p.offset) : std::string("0");
    if (p.badNumber) return geometryFault(g, *p.badNumber, "a number does not parse");
    const auto& v = p.value;
    const double elevation = p.has[k38] ? v[k38] : 0.0;
    const double z = p.has[k30] ? v[k30] : elevation;
    std::vector<double>& n = g.numbers;
    if (kind == "AcDbLine") {
      n = {v[k10], v[k20], z, v[k11], v[k21], p.has[k31] ? v[k31] : elevation};
    } else if (kind == "AcDbPoint") {
      n = {v[k10], v[k20], z};
    } else if (kind == "AcDbCircle") {
      n = {v[k10], v[k20], z, v[k40]};
    } else if (kind == "AcDbArc") {
      n = {v[k10], v[k20], z, v[k40], v[k50] * kRadiansPerDegree, v[k51] * kRadiansPerDegree};
    } else if (kind == "AcDbEllipse") {
      n = {v[k10], v[k20], z, v[k11], v[k21], v[k31], v[k40], v[k41], v[k42]};
    } else if (kind == "AcDbText" && p.type == "TEXT") {
      n = {v[k10], v[k20], v[k40]};
      g.text = decode(p.text.value_or(std::string_view{}), p.offset);
    } else if (kind == "AcDbBlockReference" || kind == "AcDbMInsertBlock") {
      n = {v[k10], v[k20], z, v[k41], v[k42], v[k43], v[k50] * kRadiansPerDegree};
      // An array: its columns and rows (groups 70 and 71) and their spacing.
      if (kind == "AcDbMInsertBlock")
        n.insert(n.end(), {static_cast<double>(std::max<std::int64_t>(p.flags, 1)),
                           static_cast<double>(std::max<std::int64_t>(p.rows, 1)), v[k44], v[k45]});
      g.text = decode(p.name.value_or(std::string_view{}), p.offset);
    } else if (kind == "AcDbPolyline") {
      n = std::move(p.vertices);
      // Closed: the last side runs back to the first vertex, as a DWG's does.
      if ((p.flags & kClosed) && n.size() >= 6) n.insert(n.end(), {n[0], n[1], 0.0});
    }
    if (!spend(n.size() * sizeof(double))) n.clear();
  }

  // The entities in the order of a DWG's: model space, the current layout,
  // then the others.
  void gather() {
    dropFolded();
    gatherInto(entities_, out_.summary.entities);
    if (request_.geometry) gatherInto(geometry_, out_.geometry);
  }

  template <typename T>
  static void gatherInto(std::array<std::vector<T>, kLists>& lists, std::vector<T>& out) {
    std::size_t total = 0;
    for (const auto& list : lists) total += list.size();
    // Most drawings list model space only: taken over as it is.
    if (total == lists[0].size()) {
      out = std::move(lists[0]);
      return;
    }
    out.reserve(total);
    for (auto& list : lists) {
      std::move(list.begin(), list.end(), std::back_inserter(out));
      list = {};
    }
  }

  // ---- THUMBNAILIMAGE ----

  void readThumbnail() {
    DxfGroup g;
    std::vector<std::uint8_t> bytes;
    std::optional<std::int64_t> announced;
    std::optional<std::uint64_t> fault;
    std::uint64_t start = groups_.offset();
    while (groups_.next(g)) {
      if (endsSection(g, "THUMBNAILIMAGE")) return setPreview(bytes, announced, fault, start);
      if (!request_.evidence || fault) continue;
      if (g.code == 90) {
        std::int64_t size = 0;
        if (!g.asInteger(size) || size < 0 || static_cast<std::uint64_t>(size) > costLeft_) {
          fault = g.offset;
          continue;
        }
        announced = size;
        bytes.reserve(static_cast<std::size_t>(size));
      } else if (g.code == 310) {
        if (!appendHex(g, bytes)) fault = g.offset;
        if (announced && bytes.size() > static_cast<std::uint64_t>(*announced)) fault = g.offset;
      }
    }
    unclosed("THUMBNAILIMAGE");
    setPreview(bytes, announced, fault, start);
  }

  bool appendHex(const DxfGroup& g, std::vector<std::uint8_t>& bytes) {
    if (g.kind == DxfGroup::Kind::kBytes) {
      if (!spend(g.text.size())) return false;
      bytes.insert(bytes.end(), g.text.begin(), g.text.end());
      return true;
    }
    const std::string_view hex = g.trimmed();
    if (hex.size() % 2 != 0 || !spend(hex.size() / 2)) return false;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      const int high = hexDigit(hex[i]);
      const int low = hexDigit(hex[i + 1]);
      if (high < 0 || low < 0) return false;
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return true;
  }

  // A preview that cannot be shown is none, with a note of why, as a DWG's
  // is: the drawing's other facts do not depend on it. A picture is checked
  // as a DWG's (a BMP against the pixels its size promises).
  void setPreview(std::vector<std::uint8_t>& bytes, std::optional<std::int64_t> announced,
                  std::optional<std::uint64_t> fault, std::uint64_t start) {
    if (!request_.evidence) return;
    Evidence& e = out_.evidence;
    if (fault) {
      e.previewNote = "the preview picture cannot be read";
      return;
    }
    if (bytes.empty()) return;
    if (announced && static_cast<std::uint64_t>(*announced) != bytes.size()) {
      e.previewNote = "the preview holds " + std::to_string(bytes.size()) + " bytes where " +
                      std::to_string(*announced) + " are announced";
      return;
    }
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PreviewFormat format = PreviewFormat::kNone;
    if (bytes.size() >= std::size(kPng) && std::equal(std::begin(kPng), std::end(kPng), bytes.begin())) {
      format = PreviewFormat::kPng;
    } else if (bytes.size() >= 4 && (le32(bytes, 0) == 12 || (le32(bytes, 0) >= 40 && le32(bytes, 0) <= bytes.size()))) {
      // A device-independent bitmap starts with the size of its info header.
      format = PreviewFormat::kBmp;
    } else {
      e.previewNote = "the preview is neither a bitmap nor a PNG picture";
      return;
    }
    if (Status s = checkedPicture(format, bytes, start, e.preview); !s.ok()) e.previewNote = s.message;
  }

  std::span<const std::uint8_t> data_;
  DxfGroups groups_;
  const ReadRequest& request_;
  Drawing& out_;
  Status status_;
  std::uint64_t costLeft_ = 0;
  std::array<std::optional<DxfGroup>, std::size(kHeaderNames)> header_{};
  bool settled_ = false;
  bool utf8_ = false;
  bool badUtf8_ = false;
  bool handlesExpected_ = true;
  std::uint16_t codePage_ = kCodePageAnsi1252;
  std::size_t missingHandles_ = 0;
  std::uint64_t firstMissingHandle_ = 0;
  std::unordered_map<std::string_view, std::string> layerNames_;
  std::array<std::vector<Entity>, kLists> entities_;
  std::array<std::vector<EntityGeometry>, kLists> geometry_;
  std::optional<std::pair<std::size_t, std::size_t>> openPolyline_;
  std::size_t namedBlock_ = 0;  // the named block whose entities come now, in out_.blocks
  std::size_t blockEntities_ = 0;
  bool openPolylineClosed_ = false;
  bool openPolylineFaulty_ = false;
  // The column pieces and text frames a paragraph text names in its
  // extended data, by handle: folded into it, not listed on their own.
  std::unordered_map<std::uint64_t, std::string_view> folded_;
  bool headerAhead_ = false;
};

bool isBlankByte(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool looksLikeDxf(std::span<const std::uint8_t> start) {
  start = start.first(std::min(start.size(), kDxfLookSize));
  const std::string_view text(reinterpret_cast<const char*>(start.data()), start.size());
  if (text.substr(0, kDxfBinarySentinel.size()) == kDxfBinarySentinel) return true;
  std::size_t at = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") at = 3;
  // Lines with blanks around them, as the text form allows.
  const auto nextLine = [&](std::string_view& line) {
    if (at >= text.size()) return false;
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) return false;  // the line goes on past the look
    line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && isBlankByte(static_cast<std::uint8_t>(line.back()))) line.remove_suffix(1);
    while (!line.empty() && isBlankByte(static_cast<std::uint8_t>(line.front()))) line.remove_prefix(1);
    return true;
  };
  std::string_view line;
  for (;;) {
    while (at < text.size() && isBlankByte(static_cast<std::uint8_t>(text[at]))) ++at;
    if (!nextLine(line)) return false;
    if (line == "999") {
      if (!nextLine(line)) return false;
      continue;
    }
    if (line != "0") return false;
    return nextLine(line) && line == "SECTION";
  }
}

std::string dxfVersionHint(std::span<const std::uint8_t> start) {
  DxfGroups groups(start);
  DxfGroup g;
  bool next = false;
  while (groups.next(g)) {
    if (next) return isVersionName(g.trimmed()) ? std::string(g.trimmed()) : std::string();
    next = g.code == 9 && g.trimmed() == "$ACADVER";
    if (g.code == 0 && g.is("ENDSEC")) break;
  }
  return {};
}

Status readDxf(std::span<const std::uint8_t> data, const ReadRequest& request, Drawing& out) {
  out = Drawing{};
  return DxfReader(data, request, out).read();
}

}  // namespace veldra::dwg::detail
