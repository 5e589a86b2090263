#include "dwgwrite/dwg_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <fstream>
#include <map>
#include <set>
#include <string_view>
#include <system_error>

#include "dwgwrite/bit_writer.h"
#include "dwgwrite/containers.h"
#include "dwgwrite/format.h"
#include "dwgwrite/object_builder.h"
#include "dwgwrite/plan_edits.h"
#include "dwgwrite/text_encoding.h"

namespace veldra::dwgwrite {
namespace detail {

bool releaseOf(std::string_view version, Release& out) {
  static constexpr std::pair<std::string_view, Release> kReleases[] = {
      {"AC1012", Release::kR13},   {"AC1014", Release::kR14},   {"AC1015", Release::kR2000},
      {"AC1018", Release::kR2004}, {"AC1024", Release::kR2010}, {"AC1027", Release::kR2013},
      {"AC1032", Release::kR2018},
  };
  for (const auto& [name, release] : kReleases) {
    if (name == version) {
      out = release;
      return true;
    }
  }
  return false;
}

}  // namespace detail

namespace {

using namespace detail;

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint16_t kCodePageAnsi1252 = 30;
constexpr std::int32_t kMsPerDay = 86400000;
constexpr std::int32_t kDefaultEditingMs = 25 * 60 * 1000;
constexpr std::size_t kMaxStoredText = 0xFFFE;  // a BS length, with room for the closing NUL
constexpr std::uint16_t kFirstClass = 500;

// Fixed object type numbers.
enum ObjectType : std::uint16_t {
  kText = 1,
  kBlock = 4,
  kEndblk = 5,
  kInsert = 7,
  kArc = 17,
  kCircle = 18,
  kLine = 19,
  kPoint = 27,
  kEllipse = 35,
  kDictionary = 42,
  kBlockControl = 48,
  kBlockHeader = 49,
  kLayerControl = 50,
  kLayer = 51,
  kStyleControl = 52,
  kStyle = 53,
  kLtypeControl = 56,
  kLtype = 57,
  kViewControl = 60,
  kUcsControl = 62,
  kVportControl = 64,
  kVport = 65,
  kAppidControl = 66,
  kAppid = 67,
  kDimstyleControl = 68,
  kDimstyle = 69,
  kVpEntHdrControl = 70,
  kMlineStyle = 73,
  kLwPolyline = 77,
};

// The writer's own objects, each with a handle of its own.
enum Own : std::size_t {
  oBlockControl,
  oLayerControl,
  oStyleControl,
  oLtypeControl,
  oViewControl,
  oUcsControl,
  oVportControl,
  oAppidControl,
  oDimstyleControl,
  oVpEntHdrControl,
  oNamedDict,
  oGroupDict,
  oMlineStyleDict,
  oLayoutDict,
  oModelLayout,
  oPaperLayout,
  oLayer0,
  oStandardStyle,
  oByBlock,
  oByLayer,
  oContinuous,
  oStandardDimstyle,
  oStandardMlineStyle,
  oAcadAppid,
  oActiveVport,
  oModelSpace,
  oPaperSpace,
  oModelBlock,
  oModelEndblk,
  oPaperBlock,
  oPaperEndblk,
  kOwnCount
};

enum class Kind { kLine, kCircle, kArc, kEllipse, kPoint, kLwPolyline, kText, kInsert };

struct EntityKind {
  std::string_view name;
  Kind kind;
  std::size_t numbers;  // how many numbers the geometry takes (a polyline: per vertex)
};

constexpr std::array<EntityKind, 8> kEntityKinds{{{"LINE", Kind::kLine, 6},
                                                  {"CIRCLE", Kind::kCircle, 4},
                                                  {"ARC", Kind::kArc, 6},
                                                  {"POINT", Kind::kPoint, 3},
                                                  {"TEXT", Kind::kText, 3},
                                                  {"ELLIPSE", Kind::kEllipse, 9},
                                                  {"LWPOLYLINE", Kind::kLwPolyline, 3},
                                                  {"INSERT", Kind::kInsert, 7}}};

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

const EntityKind* findKind(std::string_view name) {
  const std::string wanted = upper(name);
  for (const EntityKind& kind : kEntityKinds) {
    if (kind.name == wanted) return &kind;
  }
  return nullptr;
}

std::string hex(std::uint64_t value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ---- Handles

struct BlockHandles {
  std::uint64_t record = 0;
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
};

struct Handles {
  std::array<std::uint64_t, kOwnCount> own{};
  std::vector<std::uint64_t> layers;  // parallel to the plan's layers
  std::vector<BlockHandles> blocks;   // parallel to the plan's blocks
  std::uint64_t highest = 0;
};

Stamp editingStamp(const DrawingSpec& plan) { return plan.editingTime.value_or(Stamp{0, kDefaultEditingMs}); }

Stamp updatedStamp(const DrawingSpec& plan) {
  if (plan.updated) return *plan.updated;
  const Stamp editing = editingStamp(plan);
  std::int64_t ms = static_cast<std::int64_t>(plan.milliseconds) + editing.milliseconds;
  std::int64_t days = static_cast<std::int64_t>(plan.days) + editing.days + ms / kMsPerDay;
  ms %= kMsPerDay;
  days = std::min<std::int64_t>(days, INT32_MAX);
  return Stamp{static_cast<std::int32_t>(days), static_cast<std::int32_t>(ms)};
}

// A GUID-shaped text drawn from the plan, so that the same plan gives the
// same file and different plans give different identities. The fingerprint
// leaves the version out: the same drawing saved in another version keeps it.
std::string derivedGuid(const DrawingSpec& spec_, std::uint64_t salt, bool withVersion) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  const auto mixByte = [&hash](std::uint8_t b) {
    hash ^= b;
    hash *= 0x100000001B3ull;  // 64-bit FNV-1a
  };
  const auto mix = [&mixByte](std::uint64_t value) {
    for (int i = 0; i < 8; ++i) mixByte(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  const auto mixText = [&](std::string_view text) {
    mix(text.size());
    for (char c : text) mixByte(static_cast<std::uint8_t>(c));
  };
  const auto mixEntity = [&](const EntitySpec& e) {
    mixText(upper(e.type));
    mix(e.handle * 2 + (e.paperSpace ? 1 : 0));
    mixText(e.layer);
    mixText(e.text);
    mix(e.numbers.size());
    for (double n : e.numbers) {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &n, sizeof bits);
      mix(bits);
    }
  };
  mix(salt);
  mix(static_cast<std::uint64_t>(spec_.days));
  mix(static_cast<std::uint64_t>(spec_.milliseconds));
  for (const EntitySpec& e : spec_.entities) mixEntity(e);
  for (const std::string& layer : spec_.layers) mixText(layer);
  for (const BlockSpec& block : spec_.blocks) {
    mixText(block.name);
    for (const EntitySpec& e : block.entities) mixEntity(e);
  }
  if (withVersion) {
    mixText(spec_.version);
    const Stamp saved = updatedStamp(spec_);
    mix(static_cast<std::uint64_t>(saved.days));
    mix(static_cast<std::uint64_t>(saved.milliseconds));
    mix(static_cast<std::uint64_t>(editingStamp(spec_).milliseconds));
  }
  const std::uint64_t high = hash;
  mix(salt + 0x9E3779B97F4A7C15ull);
  const std::uint64_t low = hash;
  std::string digits = hex(high);
  digits.insert(0, 16 - digits.size(), '0');
  const std::string lowDigits = hex(low);
  digits += std::string(16 - lowDigits.size(), '0') + lowDigits;
  return "{" + digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-" + digits.substr(12, 4) + "-" +
         digits.substr(16, 4) + "-" + digits.substr(20, 12) + "}";
}

// ---- The drawing

class Writer {
 public:
  Writer(const DrawingSpec& plan, Release release, const Handles& handles)
      : spec_(plan), release_(release), handles_(handles) {}

  Bytes build();

 private:
  std::uint64_t h(Own which) const { return handles_.own[which]; }
  bool paged() const { return release_ >= Release::kR2004; }
  bool apart() const { return release_ >= Release::kR2010; }
  std::uint16_t lwPolylineType() const {
    return release_ <= Release::kR14 ? kFirstClass : static_cast<std::uint16_t>(kLwPolyline);
  }
  std::uint64_t layerHandle(const std::string& name) const;
  std::uint64_t blockRecord(const std::string& name) const;
  std::uint64_t handseed() const { return spec_.handseed.value_or(handles_.highest + 1); }
  Stamp editingTime() const { return editingStamp(spec_); }
  Stamp updated() const { return updatedStamp(spec_); }

  Bytes headerSection() const;
  Bytes classesSection() const;
  Bytes summaryInfo() const;
  void writeDimensions(BitWriter& d, const std::function<void(std::string_view)>& text,
                       const std::function<void(std::uint16_t)>& color) const;

  void addObject(std::uint64_t handle, Bytes bytes) { objects_.push_back({handle, std::move(bytes)}); }
  void addControls();
  void addTables();
  void addDictionaries();
  void addBlockRecord(std::uint64_t record, std::string_view name, const BlockHandles& parts,
                      const std::vector<const EntitySpec*>& members, std::uint64_t layout);
  void addBlockEnds(const BlockHandles& parts, std::string_view name, unsigned mode);
  void addSpace(bool paper);
  void addBlocks();
  void addLayout(bool paper);
  void addEntity(const EntitySpec& entity, std::size_t index, const ObjectBuilder::EntityLinks& links);

  struct StoredObject {
    std::uint64_t handle;
    Bytes bytes;
  };

  const DrawingSpec& spec_;
  Release release_;
  const Handles& handles_;
  std::vector<StoredObject> objects_;
};

std::uint64_t Writer::layerHandle(const std::string& name) const {
  if (name.empty() || name == "0") return h(oLayer0);
  const std::string wanted = upper(name);
  for (std::size_t i = 0; i < spec_.layers.size(); ++i) {
    if (upper(spec_.layers[i]) == wanted) return handles_.layers[i];
  }
  return h(oLayer0);
}

std::uint64_t Writer::blockRecord(const std::string& name) const {
  const std::string wanted = upper(name);
  for (std::size_t i = 0; i < spec_.blocks.size(); ++i) {
    if (upper(spec_.blocks[i].name) == wanted) return handles_.blocks[i].record;
  }
  return 0;
}

// The dimension values of a new imperial drawing from R2000 on, DIMPOST to
// DIMMZS, stored alike in the header variables and in the dimension style.
void Writer::writeDimensions(BitWriter& w, const std::function<void(std::string_view)>& text,
                             const std::function<void(std::uint16_t)>& color) const {
  text("");  // DIMPOST
  text("");  // DIMAPOST
  // DIMSCALE DIMASZ DIMEXO DIMDLI DIMEXE DIMRND DIMDLE DIMTP DIMTM
  for (double d : {1.0, 0.18, 0.0625, 0.38, 0.18, 0.0, 0.0, 0.0, 0.0}) w.writeBD(d);
  if (release_ >= Release::kR2010) {
    w.writeBD(1.0);       // DIMFXL
    w.writeBD(kPi / 4);   // DIMJOGANG
    w.writeBS(0);         // DIMTFILL
    color(kByBlock);      // DIMTFILLCLR
  }
  // DIMTOL DIMLIM DIMTIH DIMTOH DIMSE1 DIMSE2
  for (bool b : {false, false, true, true, false, false}) w.writeB(b);
  w.writeBS(0);  // DIMTAD
  w.writeBS(0);  // DIMZIN
  w.writeBS(0);  // DIMAZIN
  if (release_ >= Release::kR2010) w.writeBS(0);  // DIMARCSYM
  // DIMTXT DIMCEN DIMTSZ DIMALTF DIMLFAC DIMTVP DIMTFAC DIMGAP DIMALTRND
  for (double d : {0.18, 0.09, 0.0, 25.4, 1.0, 0.0, 1.0, 0.09, 0.0}) w.writeBD(d);
  w.writeB(false);  // DIMALT
  w.writeBS(2);     // DIMALTD
  // DIMTOFL DIMSAH DIMTIX DIMSOXD
  for (bool b : {false, false, false, false}) w.writeB(b);
  color(kByBlock);  // DIMCLRD
  color(kByBlock);  // DIMCLRE
  color(kByBlock);  // DIMCLRT
  // DIMADEC DIMDEC DIMTDEC DIMALTU DIMALTTD DIMAUNIT DIMFRAC DIMLUNIT DIMDSEP
  // DIMTMOVE DIMJUST
  for (std::uint16_t s : {0, 4, 4, 2, 2, 0, 0, 2, 46, 0, 0}) w.writeBS(s);
  w.writeB(false);  // DIMSD1
  w.writeB(false);  // DIMSD2
  // DIMTOLJ DIMTZIN DIMALTZ DIMALTTZ
  for (std::uint16_t s : {1, 0, 0, 0}) w.writeBS(s);
  w.writeB(false);  // DIMUPT
  w.writeBS(3);     // DIMATFIT
  if (release_ >= Release::kR2010) {
    w.writeB(false);  // DIMFXLON
    w.writeB(false);  // DIMTXTDIRECTION
    w.writeBD(0.0);   // DIMALTMZF
    text("");         // DIMALTMZS
    w.writeBD(0.0);   // DIMMZF
    text("");         // DIMMZS
  }
}

// The dimension flags and sizes of R13 and R14, as the header variables and
// the dimension style store them before the values common to all releases.
void writeOldDimensionFlags(BitWriter& w) {
  // DIMTOL DIMLIM DIMTIH DIMTOH DIMSE1 DIMSE2 DIMALT DIMTOFL DIMSAH DIMTIX DIMSOXD
  for (bool b : {false, false, true, true, false, false, false, false, false, false, false}) w.writeB(b);
  w.writeRC(2);     // DIMALTD
  w.writeRC(0);     // DIMZIN
  w.writeB(false);  // DIMSD1
  w.writeB(false);  // DIMSD2
  w.writeRC(1);     // DIMTOLJ
  w.writeRC(0);     // DIMJUST
  w.writeRC(3);     // DIMFIT
  w.writeB(false);  // DIMUPT
  w.writeRC(0);     // DIMTZIN
  w.writeRC(0);     // DIMALTZ
  w.writeRC(0);     // DIMALTTZ
  w.writeRC(0);     // DIMTAD
  // DIMUNIT DIMAUNIT DIMDEC DIMTDEC DIMALTU DIMALTTD
  for (std::uint16_t s : {2, 0, 4, 4, 2, 2}) w.writeBS(s);
}

void writeOldDimensionSizes(BitWriter& w, const std::function<void(std::string_view)>& text) {
  // DIMSCALE DIMASZ DIMEXO DIMDLI DIMEXE DIMRND DIMDLE DIMTP DIMTM
  for (double d : {1.0, 0.18, 0.0625, 0.38, 0.18, 0.0, 0.0, 0.0, 0.0}) w.writeBD(d);
  // DIMTXT DIMCEN DIMTSZ DIMALTF DIMLFAC DIMTVP DIMTFAC DIMGAP
  for (double d : {0.18, 0.09, 0.0, 25.4, 1.0, 0.0, 1.0, 0.09}) w.writeBD(d);
  for (int i = 0; i < 5; ++i) text("");  // DIMPOST DIMAPOST DIMBLK DIMBLK1 DIMBLK2
}

// The header variables in their stored order, with the defaults of a new
// drawing in imperial units. From R2007 on the texts go to a string stream
// and the handles (all but HANDSEED) to a handle stream of their own.
Bytes Writer::headerSection() const {
  BitWriter d;
  BitWriter strings;
  BitWriter handleStream;
  BitWriter& hw = apart() ? handleStream : d;
  const auto text = [&](std::string_view t) {
    if (apart()) {
      strings.writeTU(toUtf16(t));
    } else {
      d.writeTV(storedText(t));
    }
  };
  const auto handle = [&hw](unsigned code, std::uint64_t value) { hw.writeH(code, value); };
  const auto color = [&](std::uint16_t index) {
    if (release_ < Release::kR2004) {
      d.writeCMC(index);
    } else {
      d.writeBS(0);
      d.writeBL(index == kByLayer ? 0xC0000000u : index == kByBlock ? 0xC1000000u : 0xC3000000u | index);
      d.writeRC(0);
    }
  };
  const auto stamp = [&d](Stamp s) {
    d.writeBL(static_cast<std::uint32_t>(s.days));
    d.writeBL(static_cast<std::uint32_t>(s.milliseconds));
  };
  const bool old = release_ <= Release::kR14;
  const bool r2000 = release_ >= Release::kR2000;

  if (release_ >= Release::kR2013) d.writeBLL(0);  // REQUIREDVERSIONS
  d.writeBD(412148564080.0);  // fixed values of unknown meaning
  d.writeBD(1.0);
  d.writeBD(1.0);
  d.writeBD(1.0);
  text("m");
  text("");
  text("");
  text("");
  d.writeBL(0);
  d.writeBL(0);
  if (old) d.writeBS(0);
  if (release_ <= Release::kR2000) handle(kHardPointer, 0);  // current viewport entity header
  d.writeB(true);                   // DIMASO
  d.writeB(true);                   // DIMSHO
  if (old) d.writeB(false);         // DIMSAV
  // PLINEGEN ORTHOMODE REGENMODE FILLMODE QTEXTMODE PSLTSCALE LIMCHECK
  for (bool b : {false, false, true, true, false, true, false}) d.writeB(b);
  if (old) d.writeB(false);         // BLIPMODE
  if (paged()) d.writeB(false);     // unknown
  // USRTIMER SKPOLY ANGDIR SPLFRAME
  for (bool b : {true, false, false, false}) d.writeB(b);
  if (old) {
    d.writeB(true);   // ATTREQ
    d.writeB(false);  // ATTDIA
  }
  d.writeB(false);  // MIRRTEXT
  d.writeB(true);   // WORLDVIEW
  if (old) d.writeB(false);  // WIREFRAME
  d.writeB(true);   // TILEMODE
  d.writeB(false);  // PLIMCHECK
  d.writeB(true);   // VISRETAIN
  if (old) d.writeB(true);  // DELOBJ
  d.writeB(false);  // DISPSILH
  d.writeB(false);  // PELLIPSE
  d.writeBS(1);     // PROXYGRAPHICS
  if (old) d.writeBS(2);  // DRAGMODE
  // TREEDEPTH LUNITS LUPREC AUNITS AUPREC
  for (std::uint16_t s : {3020, 2, 4, 0, 0}) d.writeBS(s);
  if (old) d.writeBS(0);  // OSMODE
  d.writeBS(1);           // ATTMODE
  if (old) d.writeBS(1);  // COORDS
  d.writeBS(0);           // PDMODE
  if (old) d.writeBS(1);  // PICKSTYLE
  if (paged()) {
    for (int i = 0; i < 3; ++i) d.writeBL(0);  // unknown
  }
  // USERI1-5 SPLINESEGS SURFU SURFV SURFTYPE SURFTAB1 SURFTAB2 SPLINETYPE
  // SHADEDGE SHADEDIF UNITMODE MAXACTVP ISOLINES CMLJUST TEXTQLTY
  for (std::uint16_t s : {0, 0, 0, 0, 0, 8, 6, 6, 6, 6, 6, 6, 3, 70, 0, 64, 4, 0, 50}) d.writeBS(s);
  // LTSCALE TEXTSIZE TRACEWID SKETCHINC FILLETRAD THICKNESS ANGBASE PDSIZE
  // PLINEWID USERR1-5 CHAMFERA-D FACETRES CMLSCALE CELTSCALE
  for (double v : {1.0, 0.2, 0.05, 0.1, 0.5, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.5, 0.5, 0.0, 0.0,
                   0.5, 1.0, 1.0}) {
    d.writeBD(v);
  }
  text(".");                                  // MENUNAME, in the string stream from R2007 on
  stamp({spec_.days, spec_.milliseconds});    // TDCREATE
  stamp(updated());                           // TDUPDATE
  if (paged()) {
    for (int i = 0; i < 3; ++i) d.writeBL(0);  // unknown
  }
  stamp(editingTime());                                // TDINDWG
  stamp(spec_.userTimer.value_or(editingTime()));      // TDUSRTIMER
  color(kByLayer);                                     // CECOLOR
  d.writeH(0, handseed());                             // HANDSEED, always in the data
  handle(kHardPointer, h(oLayer0));                    // CLAYER
  handle(kHardPointer, h(oStandardStyle));             // TEXTSTYLE
  handle(kHardPointer, h(oByLayer));                   // CELTYPE
  if (apart()) handle(kHardPointer, 0);                // CMATERIAL
  handle(kHardPointer, h(oStandardDimstyle));          // DIMSTYLE
  handle(kHardPointer, h(oStandardMlineStyle));        // CMLSTYLE
  if (r2000) d.writeBD(0.0);                           // PSVPSCALE
  // Paper space, then model space: INSBASE EXTMIN EXTMAX LIMMIN LIMMAX
  // ELEVATION UCSORG UCSXDIR UCSYDIR UCSNAME, then from R2000 on
  // UCSORTHOREF UCSORTHOVIEW UCSBASE and the six orthographic UCS origins.
  for (int space = 0; space < 2; ++space) {
    d.write3BD(0, 0, 0);
    d.write3BD(1e20, 1e20, 1e20);
    d.write3BD(-1e20, -1e20, -1e20);
    d.write2RD(0.0, 0.0);
    d.write2RD(12.0, 9.0);
    d.writeBD(0.0);
    d.write3BD(0, 0, 0);
    d.write3BD(1, 0, 0);
    d.write3BD(0, 1, 0);
    handle(kHardPointer, 0);
    if (r2000) {
      handle(kHardPointer, 0);
      d.writeBS(0);
      handle(kHardPointer, 0);
      for (int i = 0; i < 6; ++i) d.write3BD(0, 0, 0);
    }
  }
  if (old) {
    writeOldDimensionFlags(d);
    handle(kHardPointer, h(oStandardStyle));  // DIMTXSTY
    writeOldDimensionSizes(d, text);
    for (int i = 0; i < 3; ++i) color(0);  // DIMCLRD DIMCLRE DIMCLRT
  } else {
    writeDimensions(d, text, color);
    handle(kHardPointer, h(oStandardStyle));  // DIMTXSTY
    for (int i = 0; i < 4; ++i) handle(kHardPointer, 0);  // DIMLDRBLK DIMBLK DIMBLK1 DIMBLK2
    if (apart()) {
      for (int i = 0; i < 3; ++i) handle(kHardPointer, 0);  // DIMLTYPE DIMLTEX1 DIMLTEX2
    }
    d.writeBS(0xFFFE);  // DIMLWD by block
    d.writeBS(0xFFFE);  // DIMLWE by block
  }
  for (Own control : {oBlockControl, oLayerControl, oStyleControl, oLtypeControl, oViewControl, oUcsControl,
                      oVportControl, oAppidControl, oDimstyleControl}) {
    handle(kHardOwner, h(control));
  }
  if (!paged()) handle(kHardOwner, h(oVpEntHdrControl));
  handle(kHardPointer, h(oGroupDict));
  handle(kHardPointer, h(oMlineStyleDict));
  handle(kHardOwner, h(oNamedDict));
  if (r2000) {
    d.writeBS(1);   // TSTACKALIGN
    d.writeBS(70);  // TSTACKSIZE
    text(spec_.summaryInfo.hyperlinkBase);  // HYPERLINKBASE
    text("");                                // STYLESHEET
    handle(kHardPointer, h(oLayoutDict));
    handle(kHardPointer, 0);  // plot settings dictionary
    handle(kHardPointer, 0);  // plot styles dictionary
    if (paged()) {
      handle(kHardPointer, 0);  // materials dictionary
      handle(kHardPointer, 0);  // colours dictionary
    }
    if (apart()) handle(kHardPointer, 0);  // visual styles dictionary
    if (release_ >= Release::kR2013) handle(kHardPointer, 0);
    // CELWEIGHT by layer (29), no ENDCAPS or JOINSTYLE, LWDISPLAY off
    // (0x200), XEDIT on (0x400 clear), EXTNAMES on (0x800), PSTYLEMODE
    // colour-dependent (0x2000), OLESTARTUP off.
    d.writeBL(29 | 0x200 | 0x800 | 0x2000);
    d.writeBS(1);  // INSUNITS inches
    d.writeBS(0);  // CEPSNTYPE by layer
    text(spec_.fingerprintGuid.value_or(derivedGuid(spec_, 1, false)));  // FINGERPRINTGUID
    text(spec_.versionGuid.value_or(derivedGuid(spec_, 2, true)));       // VERSIONGUID
  }
  if (paged()) {
    d.writeRC(127);  // SORTENTS
    d.writeRC(0);    // INDEXCTL
    d.writeRC(1);    // HIDETEXT
    d.writeRC(0);    // XCLIPFRAME
    d.writeRC(2);    // DIMASSOC
    d.writeRC(0);    // HALOGAP
    d.writeBS(257);  // OBSCUREDCOLOR
    d.writeBS(257);  // INTERSECTIONCOLOR
    d.writeRC(0);    // OBSCUREDLTYPE
    d.writeRC(0);    // INTERSECTIONDISPLAY
    text("");        // PROJECTNAME
  }
  handle(kHardPointer, h(oPaperSpace));
  handle(kHardPointer, h(oModelSpace));
  handle(kHardPointer, h(oByLayer));
  handle(kHardPointer, h(oByBlock));
  handle(kHardPointer, h(oContinuous));
  if (apart()) {
    d.writeB(false);  // CAMERADISPLAY
    d.writeBL(0);
    d.writeBL(0);
    d.writeBD(0.0);
    // STEPSPERSEC STEPSIZE 3DDWFPREC LENSLENGTH CAMERAHEIGHT
    for (double v : {2.0, 6.0, 2.0, 50.0, 0.0}) d.writeBD(v);
    d.writeRC(1);  // SOLIDHIST
    d.writeRC(1);  // SHOWHIST
    // PSOLWIDTH PSOLHEIGHT LOFTANG1 LOFTANG2 LOFTMAG1 LOFTMAG2
    for (double v : {0.25, 4.0, kPi / 2, kPi / 2, 0.0, 0.0}) d.writeBD(v);
    d.writeBS(7);   // LOFTPARAM
    d.writeRC(1);   // LOFTNORMALS
    d.writeBD(37.795);    // LATITUDE
    d.writeBD(-122.394);  // LONGITUDE
    d.writeBD(0.0);       // NORTHDIRECTION
    d.writeBL(static_cast<std::uint32_t>(-8000));  // TIMEZONE
    d.writeRC(1);  // LIGHTGLYPHDISPLAY
    d.writeRC(1);  // TILEMODELIGHTSYNCH
    d.writeRC(2);  // DWFFRAME
    d.writeRC(0);  // DGNFRAME
    d.writeB(false);
    color(1);                 // INTERFERECOLOR
    handle(kHardPointer, 0);  // INTERFEREOBJVS
    handle(kHardPointer, 0);  // INTERFEREVPVS
    d.writeRC(0);             // CSHADOW
    d.writeBD(0.0);
  }

  // The section: size, then the data framed by sentinels with a check value
  // over size and data. From R2007 on a bit size follows the size and counts
  // from its own field to the end of the texts; the handles come after.
  Bytes body;
  const auto appendRL = [&body](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  if (apart()) {
    appendStringStream(d, strings);
    BitWriter all;
    all.writeRL(static_cast<std::uint32_t>(32 + d.bitCount()));
    all.append(d);
    all.append(handleStream);
    appendRL(static_cast<std::uint32_t>(all.bytes().size()));
    if (release_ >= Release::kR2018) appendRL(0);
    body.insert(body.end(), all.bytes().begin(), all.bytes().end());
  } else {
    appendRL(static_cast<std::uint32_t>(d.bytes().size()));
    body.insert(body.end(), d.bytes().begin(), d.bytes().end());
  }
  const std::uint16_t crc = crc16(body, kSectionCrcSeed);
  Bytes out(kHeaderStart.begin(), kHeaderStart.end());
  out.insert(out.end(), body.begin(), body.end());
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  out.insert(out.end(), kHeaderEnd.begin(), kHeaderEnd.end());
  return out;
}

// One class: the light-weight polyline before R2000, which had no fixed
// type for it yet; the layout from R2000 on.
Bytes Writer::classesSection() const {
  BitWriter d;
  BitWriter strings;
  const auto text = [&](std::string_view t) {
    if (apart()) {
      strings.writeTU(toUtf16(t));
    } else {
      d.writeTV(t);
    }
  };
  if (paged()) {
    d.writeBS(kFirstClass);  // the highest class number
    d.writeRC(0);
    d.writeRC(0);
    d.writeB(true);
  }
  const bool old = release_ <= Release::kR14;
  d.writeBS(kFirstClass);
  d.writeBS(0);  // proxy flags
  text("ObjectDBX Classes");
  text(old ? "AcDbPolyline" : "AcDbLayout");
  text(old ? "LWPOLYLINE" : "LAYOUT");
  d.writeB(false);                   // was not a zombie
  d.writeBS(old ? 0x1F2 : 0x1F3);    // an entity, or an object
  if (paged()) {
    d.writeBL(2);  // instances: the two layouts
    for (int i = 0; i < 4; ++i) d.writeBL(0);
  }

  Bytes body;
  const auto appendRL = [&body](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  if (apart()) {
    appendStringStream(d, strings);
    BitWriter all;
    all.writeRL(static_cast<std::uint32_t>(32 + d.bitCount()));
    all.append(d);
    appendRL(static_cast<std::uint32_t>(all.bytes().size()));
    if (release_ >= Release::kR2018) appendRL(0);
    body.insert(body.end(), all.bytes().begin(), all.bytes().end());
  } else {
    appendRL(static_cast<std::uint32_t>(d.bytes().size()));
    body.insert(body.end(), d.bytes().begin(), d.bytes().end());
  }
  const std::uint16_t crc = crc16(body, kSectionCrcSeed);
  Bytes out(kClassesStart.begin(), kClassesStart.end());
  out.insert(out.end(), body.begin(), body.end());
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  out.insert(out.end(), kClassesEnd.begin(), kClassesEnd.end());
  return out;
}

// AcDb:SummaryInfo: eight texts, each a 16-bit length counting a closing
// NUL and the characters (code page bytes in R2004, UTF-16 units later),
// then the editing time, the creation and update dates, no custom
// properties and two zero longs.
Bytes Writer::summaryInfo() const {
  Bytes out;
  const auto rs = [&out](std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const auto rl = [&rs](std::uint32_t v) {
    rs(static_cast<std::uint16_t>(v & 0xFFFF));
    rs(static_cast<std::uint16_t>(v >> 16));
  };
  const SummaryInfoSpec& s = spec_.summaryInfo;
  for (const std::string* field : {&s.title, &s.subject, &s.author, &s.keywords, &s.comments, &s.lastSavedBy,
                                   &s.revisionNumber, &s.hyperlinkBase}) {
    if (apart()) {
      const std::u16string units = toUtf16(*field);
      rs(static_cast<std::uint16_t>(units.size() + 1));
      for (char16_t u : units) rs(static_cast<std::uint16_t>(u));
      rs(0);
    } else {
      const std::string bytes = storedText(*field);
      rs(static_cast<std::uint16_t>(bytes.size() + 1));
      out.insert(out.end(), bytes.begin(), bytes.end());
      out.push_back(0);
    }
  }
  for (const Stamp& stamp : {editingTime(), Stamp{spec_.days, spec_.milliseconds}, updated()}) {
    rl(static_cast<std::uint32_t>(stamp.days));
    rl(static_cast<std::uint32_t>(stamp.milliseconds));
  }
  rs(0);  // no custom properties
  rl(0);
  rl(0);
  return out;
}

void Writer::addControls() {
  const auto control = [this](ObjectType type, Own which, std::vector<std::uint64_t> entries) {
    ObjectBuilder o(release_, type, h(which));
    o.objectCommon(0);
    o.data().writeBL(static_cast<std::uint32_t>(entries.size()));
    if (type == kDimstyleControl && release_ >= Release::kR2000) o.data().writeRC(0);  // no further hard handles
    for (std::uint64_t entry : entries) o.handles().writeH(kSoftOwner, entry);
    if (type == kBlockControl) {
      o.handles().writeH(kHardOwner, h(oModelSpace));
      o.handles().writeH(kHardOwner, h(oPaperSpace));
    }
    if (type == kLtypeControl) {
      o.handles().writeH(kHardOwner, h(oByBlock));
      o.handles().writeH(kHardOwner, h(oByLayer));
    }
    addObject(h(which), o.finish());
  };
  std::vector<std::uint64_t> blocks;
  for (const BlockHandles& b : handles_.blocks) blocks.push_back(b.record);
  std::vector<std::uint64_t> layers{h(oLayer0)};
  layers.insert(layers.end(), handles_.layers.begin(), handles_.layers.end());
  control(kBlockControl, oBlockControl, blocks);
  control(kLayerControl, oLayerControl, layers);
  control(kStyleControl, oStyleControl, {h(oStandardStyle)});
  control(kLtypeControl, oLtypeControl, {h(oContinuous)});
  control(kViewControl, oViewControl, {});
  control(kUcsControl, oUcsControl, {});
  control(kVportControl, oVportControl, {h(oActiveVport)});
  control(kAppidControl, oAppidControl, {h(oAcadAppid)});
  control(kDimstyleControl, oDimstyleControl, {h(oStandardDimstyle)});
  if (!paged()) control(kVpEntHdrControl, oVpEntHdrControl, {});
}

void Writer::addTables() {
  const auto layer = [this](std::uint64_t handle, std::string_view name) {
    ObjectBuilder o(release_, kLayer, handle);
    o.objectCommon(h(oLayerControl));
    o.tableEntryName(name);
    if (release_ <= Release::kR14) {
      for (bool b : {false, true, false, false}) o.data().writeB(b);  // frozen, on, frozen in new, locked
    } else {
      o.data().writeBS(0x3F0);  // plotted, default lineweight, thawed, on, unlocked
    }
    o.color(7);
    o.handles().writeH(kHardPointer, 0);  // external reference block
    if (release_ >= Release::kR2000) o.handles().writeH(kHardPointer, 0);  // plot style
    if (apart()) o.handles().writeH(kHardPointer, 0);                       // material
    o.handles().writeH(kHardPointer, h(oContinuous));
    if (release_ >= Release::kR2013) o.handles().writeH(kHardPointer, 0);
    addObject(handle, o.finish());
  };
  layer(h(oLayer0), "0");
  for (std::size_t i = 0; i < spec_.layers.size(); ++i) layer(handles_.layers[i], spec_.layers[i]);
  {
    ObjectBuilder o(release_, kStyle, h(oStandardStyle));
    o.objectCommon(h(oStyleControl));
    o.tableEntryName("Standard");
    o.data().writeB(false);  // not vertical
    o.data().writeB(false);  // not a shape file
    o.data().writeBD(0.0);   // fixed height
    o.data().writeBD(1.0);   // width factor
    o.data().writeBD(0.0);   // oblique angle
    o.data().writeRC(0);     // generation
    o.data().writeBD(0.2);   // last height
    o.text("txt");
    o.text("");
    o.handles().writeH(kHardPointer, 0);
    addObject(h(oStandardStyle), o.finish());
  }
  const auto linetype = [this](Own which, std::string_view name, std::string_view description) {
    ObjectBuilder o(release_, kLtype, h(which));
    o.objectCommon(h(oLtypeControl));
    o.tableEntryName(name);
    o.text(description);
    o.data().writeBD(0.0);  // pattern length
    o.data().writeRC('A');  // alignment
    o.data().writeRC(0);    // no dashes
    if (!apart()) {
      for (int i = 0; i < 256; ++i) o.data().writeRC(0);  // text area of the dashes
    }
    o.handles().writeH(kHardPointer, 0);
    addObject(h(which), o.finish());
  };
  {
    ObjectBuilder o(release_, kAppid, h(oAcadAppid));
    o.objectCommon(h(oAppidControl));
    o.tableEntryName("ACAD");
    o.data().writeRC(0);
    o.handles().writeH(kHardPointer, 0);
    addObject(h(oAcadAppid), o.finish());
  }
  {
    ObjectBuilder o(release_, kDimstyle, h(oStandardDimstyle));
    o.objectCommon(h(oDimstyleControl));
    o.tableEntryName("Standard");
    const auto text = [&o](std::string_view t) { o.text(t); };
    if (release_ <= Release::kR14) {
      writeOldDimensionFlags(o.data());
      writeOldDimensionSizes(o.data(), text);
      for (int i = 0; i < 3; ++i) o.data().writeBS(0);  // DIMCLRD DIMCLRE DIMCLRT
      o.handles().writeH(kHardPointer, 0);                   // external reference block
      o.handles().writeH(kHardPointer, h(oStandardStyle));  // DIMTXSTY
    } else {
      writeDimensions(o.data(), text, [&o](std::uint16_t index) { o.color(index); });
      o.data().writeBS(0xFFFE);  // DIMLWD by block
      o.data().writeBS(0xFFFE);  // DIMLWE by block
      o.data().writeB(false);
      o.handles().writeH(kHardPointer, 0);                   // external reference block
      o.handles().writeH(kHardPointer, h(oStandardStyle));  // DIMTXSTY
      for (int i = 0; i < 4; ++i) o.handles().writeH(kHardPointer, 0);  // DIMLDRBLK DIMBLK DIMBLK1 DIMBLK2
      if (apart()) {
        for (int i = 0; i < 3; ++i) o.handles().writeH(kHardPointer, 0);  // DIMLTYPE DIMLTEX1 DIMLTEX2
      }
    }
    addObject(h(oStandardDimstyle), o.finish());
  }
  {
    // The model space view: the default limits, seen from above.
    ObjectBuilder o(release_, kVport, h(oActiveVport));
    o.objectCommon(h(oVportControl));
    BitWriter& d = o.data();
    o.tableEntryName("*Active");
    d.writeBD(9.0);          // view height
    d.writeBD(12.0);         // view width (aspect ratio times height)
    d.write2RD(6.0, 4.5);    // view centre
    d.write3BD(0, 0, 0);     // target
    d.write3BD(0, 0, 1);     // direction
    d.writeBD(0.0);          // twist
    d.writeBD(50.0);         // lens length
    d.writeBD(0.0);          // front and back clipping
    d.writeBD(0.0);
    for (bool b : {false, false, false, true}) d.writeB(b);  // view mode
    if (release_ >= Release::kR2000) d.writeRC(0);  // render mode
    if (apart()) {
      d.writeB(true);   // default lights
      d.writeRC(1);     // one distant light
      d.writeBD(0.0);   // brightness
      d.writeBD(0.0);   // contrast
      o.color(250);     // ambient colour
    }
    d.write2RD(0.0, 0.0);    // lower left and upper right corners
    d.write2RD(1.0, 1.0);
    d.writeB(false);         // UCSFOLLOW
    d.writeBS(1000);         // circle zoom percent
    d.writeB(true);          // fast zoom
    d.writeB(true);          // UCS icon on, at origin
    d.writeB(true);
    d.writeB(false);         // grid off
    d.write2RD(0.5, 0.5);
    d.writeB(false);         // snap off, standard style
    d.writeB(false);
    d.writeBS(0);            // isometric plane
    d.writeBD(0.0);          // snap rotation, base and spacing
    d.write2RD(0.0, 0.0);
    d.write2RD(0.5, 0.5);
    if (release_ >= Release::kR2000) {
      d.writeB(false);
      d.writeB(true);          // UCS saved with the viewport
      d.write3BD(0, 0, 0);
      d.write3BD(1, 0, 0);
      d.write3BD(0, 1, 0);
      d.writeBD(0.0);          // UCS elevation
      d.writeBS(0);            // not orthographic
    }
    if (apart()) {
      d.writeBS(0);  // grid flags
      d.writeBS(5);  // a major grid line every five
    }
    o.handles().writeH(kHardPointer, 0);  // external reference block
    if (apart()) {
      o.handles().writeH(kSoftPointer, 0);  // background
      o.handles().writeH(kHardPointer, 0);  // visual style
      o.handles().writeH(kHardOwner, 0);    // sun
    }
    if (release_ >= Release::kR2000) {
      o.handles().writeH(kHardPointer, 0);  // named UCS
      o.handles().writeH(kHardPointer, 0);  // base UCS
    }
    addObject(h(oActiveVport), o.finish());
  }
  linetype(oByBlock, "ByBlock", "");
  linetype(oByLayer, "ByLayer", "");
  linetype(oContinuous, "Continuous", "Solid line");
}

void Writer::addDictionaries() {
  const auto dictionary = [this](Own which, std::uint64_t owner,
                                 std::vector<std::pair<std::string_view, std::uint64_t>> items) {
    ObjectBuilder o(release_, kDictionary, h(which));
    o.objectCommon(owner);
    o.data().writeBL(static_cast<std::uint32_t>(items.size()));
    if (release_ == Release::kR14) o.data().writeRC(0);
    if (release_ >= Release::kR2000) {
      o.data().writeBS(1);  // cloning: keep existing
      o.data().writeRC(0);  // not a hard owner
    }
    for (const auto& item : items) o.text(item.first);
    for (const auto& item : items) o.handles().writeH(kSoftOwner, item.second);
    addObject(h(which), o.finish());
  };
  std::vector<std::pair<std::string_view, std::uint64_t>> named{{"ACAD_GROUP", h(oGroupDict)}};
  if (release_ >= Release::kR2000) named.emplace_back("ACAD_LAYOUT", h(oLayoutDict));
  named.emplace_back("ACAD_MLINESTYLE", h(oMlineStyleDict));
  dictionary(oNamedDict, 0, named);
  dictionary(oGroupDict, h(oNamedDict), {});
  dictionary(oMlineStyleDict, h(oNamedDict), {{"Standard", h(oStandardMlineStyle)}});
  {
    // Two lines half a unit either side, colour and linetype by layer.
    ObjectBuilder o(release_, kMlineStyle, h(oStandardMlineStyle));
    o.objectCommon(h(oMlineStyleDict), {h(oMlineStyleDict)});
    BitWriter& d = o.data();
    o.text("Standard");
    o.text("");
    d.writeBS(0);  // flags
    o.color(kByLayer);
    d.writeBD(1.5707963267948966);  // start and end angles
    d.writeBD(1.5707963267948966);
    d.writeRC(2);
    for (double offset : {0.5, -0.5}) {
      d.writeBD(offset);
      o.color(kByLayer);
      if (release_ >= Release::kR2018) {
        o.handles().writeH(kHardPointer, h(oByLayer));
      } else {
        d.writeBS(0x7FFF);  // linetype by layer
      }
    }
    addObject(h(oStandardMlineStyle), o.finish());
  }
  if (release_ >= Release::kR2000) {
    dictionary(oLayoutDict, h(oNamedDict), {{"Layout1", h(oPaperLayout)}, {"Model", h(oModelLayout)}});
  }
}

// The page setup and layout of one space: letter paper, no plotter, the
// model layout first in the tab order.
void Writer::addLayout(bool paper) {
  const Own which = paper ? oPaperLayout : oModelLayout;
  ObjectBuilder o(release_, static_cast<std::uint16_t>(kFirstClass), h(which));
  o.objectCommon(h(oLayoutDict), {h(oLayoutDict)});  // the layout dictionary watches its layouts
  BitWriter& d = o.data();
  o.text("");  // page setup name
  o.text("none_device");
  d.writeBS(paper ? 688 : 11952);  // plot flags
  for (double margin : {6.35, 6.35, 6.35, 6.35}) d.writeBD(margin);
  d.writeBD(215.9);  // paper width and height in millimetres
  d.writeBD(279.4);
  o.text("Letter_(8.50_x_11.00_Inches)");
  d.writeBD(0.0);  // plot origin
  d.writeBD(0.0);
  d.writeBS(0);                // paper units: inches
  d.writeBS(1);                // rotation
  d.writeBS(paper ? 5 : 0);    // plot type: layout or display
  for (int i = 0; i < 4; ++i) d.writeBD(0.0);  // plot window
  if (!paged()) o.text("");    // plot view name
  d.writeBD(1.0);              // real world units
  d.writeBD(1.0);              // drawing units
  o.text("");                  // plot style sheet
  d.writeBS(paper ? 16 : 0);   // scale type
  d.writeBD(1.0);              // scale factor
  d.writeBD(0.0);              // paper image origin
  d.writeBD(0.0);
  if (paged()) {
    d.writeBS(0);    // shade plot mode
    d.writeBS(2);    // shade plot resolution
    d.writeBS(300);  // shade plot dots per inch
  }
  o.text(paper ? "Layout1" : "Model");
  d.writeBS(paper ? 1 : 0);    // tab order
  d.writeBS(1);                // layout flags
  d.write3BD(0, 0, 0);         // UCS origin
  d.write2RD(0.0, 0.0);        // limits
  d.write2RD(12.0, 9.0);
  d.write3BD(0, 0, 0);         // insertion base
  d.write3BD(1, 0, 0);         // UCS axes
  d.write3BD(0, 1, 0);
  d.writeBD(0.0);              // elevation
  d.writeBS(0);                // orthographic view type
  d.write3BD(0, 0, 0);         // extents
  d.write3BD(0, 0, 0);
  if (paged()) d.writeBL(0);   // no viewports listed
  if (paged()) o.handles().writeH(kSoftPointer, 0);  // plot view
  if (apart()) o.handles().writeH(kSoftPointer, 0);  // visual style
  o.handles().writeH(kSoftPointer, h(paper ? oPaperSpace : oModelSpace));
  o.handles().writeH(kSoftPointer, 0);  // last active viewport
  o.handles().writeH(kHardPointer, 0);  // base UCS
  o.handles().writeH(kHardPointer, 0);  // named UCS
  addObject(h(which), o.finish());
}

void Writer::addBlockRecord(std::uint64_t record, std::string_view name, const BlockHandles& parts,
                            const std::vector<const EntitySpec*>& members, std::uint64_t layout) {
  ObjectBuilder o(release_, kBlockHeader, record);
  o.objectCommon(h(oBlockControl));
  o.tableEntryName(name);
  BitWriter& d = o.data();
  d.writeB(false);  // anonymous
  d.writeB(false);  // has attribute definitions
  d.writeB(false);  // external reference
  d.writeB(false);  // overlaid
  if (release_ >= Release::kR2000) d.writeB(false);  // loaded external reference
  if (paged()) d.writeBL(static_cast<std::uint32_t>(members.size()));
  d.write3BD(0, 0, 0);
  o.text("");  // external reference path
  if (release_ >= Release::kR2000) {
    d.writeRC(0);  // no inserts listed
    o.text("");    // description
    d.writeBL(0);  // no preview
  }
  if (apart()) {
    d.writeBS(0);     // insert units
    d.writeB(true);   // explodable
    d.writeRC(0);     // any scaling
  }
  o.handles().writeH(kHardPointer, 0);
  o.handles().writeH(kHardOwner, parts.begin);
  if (paged()) {
    for (const EntitySpec* e : members) o.handles().writeH(kHardOwner, e->handle);
  } else {
    o.handles().writeH(kSoftPointer, members.empty() ? 0 : members.front()->handle);
    o.handles().writeH(kSoftPointer, members.empty() ? 0 : members.back()->handle);
  }
  o.handles().writeH(kHardOwner, parts.end);
  if (release_ >= Release::kR2000) o.handles().writeH(kHardPointer, layout);
  addObject(record, o.finish());
}

void Writer::addBlockEnds(const BlockHandles& parts, std::string_view name, unsigned mode) {
  ObjectBuilder::EntityLinks links{mode, parts.record, 0, 0, h(oLayer0)};
  {
    ObjectBuilder o(release_, kBlock, parts.begin);
    o.entityCommon(links);
    o.text(name);
    addObject(parts.begin, o.finish());
  }
  {
    ObjectBuilder o(release_, kEndblk, parts.end);
    o.entityCommon(links);
    addObject(parts.end, o.finish());
  }
}

void Writer::addSpace(bool paper) {
  std::vector<const EntitySpec*> members;
  for (const EntitySpec& e : spec_.entities) {
    if (e.paperSpace == paper) members.push_back(&e);
  }
  const BlockHandles parts{h(paper ? oPaperSpace : oModelSpace), h(paper ? oPaperBlock : oModelBlock),
                           h(paper ? oPaperEndblk : oModelEndblk)};
  const std::string_view name = paper ? "*Paper_Space" : "*Model_Space";
  const std::uint64_t layout = release_ >= Release::kR2000 ? h(paper ? oPaperLayout : oModelLayout) : 0;
  addBlockRecord(parts.record, name, parts, members, layout);
  const unsigned mode = paper ? 1 : 2;
  addBlockEnds(parts, name, mode);
  for (std::size_t i = 0; i < members.size(); ++i) {
    addEntity(*members[i], i,
              {mode, parts.record, i == 0 ? 0 : members[i - 1]->handle,
               i + 1 == members.size() ? 0 : members[i + 1]->handle, layerHandle(members[i]->layer)});
  }
}

void Writer::addBlocks() {
  for (std::size_t b = 0; b < spec_.blocks.size(); ++b) {
    const BlockSpec& block = spec_.blocks[b];
    const BlockHandles& parts = handles_.blocks[b];
    std::vector<const EntitySpec*> members;
    for (const EntitySpec& e : block.entities) members.push_back(&e);
    addBlockRecord(parts.record, block.name, parts, members, 0);
    addBlockEnds(parts, block.name, 0);
    for (std::size_t i = 0; i < members.size(); ++i) {
      addEntity(*members[i], i,
                {0, parts.record, i == 0 ? 0 : members[i - 1]->handle,
                 i + 1 == members.size() ? 0 : members[i + 1]->handle, layerHandle(members[i]->layer)});
    }
  }
}

void Writer::addEntity(const EntitySpec& entity, std::size_t index, const ObjectBuilder::EntityLinks& links) {
  const EntityKind* kind = findKind(entity.type);
  // Without numbers of its own, an entity gets simple geometry that differs
  // with its place in its space, so that a CAD program shows distinct items.
  const std::vector<double> n = entity.numbers.empty() ? placedGeometry(kind->name, index) : entity.numbers;
  static constexpr std::uint16_t kTypes[] = {kLine, kCircle, kArc, kEllipse, kPoint, 0, kText, kInsert};
  const std::uint16_t type =
      kind->kind == Kind::kLwPolyline ? lwPolylineType() : kTypes[static_cast<std::size_t>(kind->kind)];
  ObjectBuilder o(release_, type, entity.handle);
  o.entityCommon(links);
  BitWriter& d = o.data();
  const bool old = release_ <= Release::kR14;
  switch (kind->kind) {
    case Kind::kLine:
      if (old) {
        d.write3BD(n[0], n[1], n[2]);
        d.write3BD(n[3], n[4], n[5]);
      } else {
        const bool flat = sameBits(n[2], 0.0) && sameBits(n[5], 0.0);
        d.writeB(flat);
        d.writeRD(n[0]);
        d.writeDD(n[3], n[0]);
        d.writeRD(n[1]);
        d.writeDD(n[4], n[1]);
        if (!flat) {
          d.writeRD(n[2]);
          d.writeDD(n[5], n[2]);
        }
      }
      o.thickness(0.0);
      o.extrusion(0, 0, 1);
      break;
    case Kind::kCircle:
    case Kind::kArc:
      d.write3BD(n[0], n[1], n[2]);
      d.writeBD(n[3]);
      o.thickness(0.0);
      o.extrusion(0, 0, 1);
      if (kind->kind == Kind::kArc) {
        d.writeBD(n[4]);
        d.writeBD(n[5]);
      }
      break;
    case Kind::kEllipse:
      d.write3BD(n[0], n[1], n[2]);
      d.write3BD(n[3], n[4], n[5]);
      d.write3BD(0, 0, 1);
      d.writeBD(n[6]);
      d.writeBD(n[7]);
      d.writeBD(n[8]);
      break;
    case Kind::kPoint:
      d.write3BD(n[0], n[1], n[2]);
      o.thickness(0.0);
      o.extrusion(0, 0, 1);
      d.writeBD(0.0);  // x axis angle
      break;
    case Kind::kLwPolyline: {
      const std::size_t vertices = n.size() / 3;
      bool bulges = false;
      for (std::size_t v = 0; v < vertices; ++v) bulges = bulges || !sameBits(n[3 * v + 2], 0.0);
      d.writeBS(bulges ? 16 : 0);
      d.writeBL(static_cast<std::uint32_t>(vertices));
      if (bulges) d.writeBL(static_cast<std::uint32_t>(vertices));
      for (std::size_t v = 0; v < vertices; ++v) {
        if (old || v == 0) {
          d.write2RD(n[3 * v], n[3 * v + 1]);
        } else {
          d.writeDD(n[3 * v], n[3 * (v - 1)]);
          d.writeDD(n[3 * v + 1], n[3 * (v - 1) + 1]);
        }
      }
      if (bulges) {
        for (std::size_t v = 0; v < vertices; ++v) d.writeBD(n[3 * v + 2]);
      }
      break;
    }
    case Kind::kText: {
      const std::string_view words =
          entity.numbers.empty() && entity.text.empty() ? std::string_view("VELDRA") : std::string_view(entity.text);
      if (old) {
        d.writeBD(0.0);              // elevation
        d.write2RD(n[0], n[1]);      // insertion
        d.write2RD(0.0, 0.0);        // alignment point
        d.write3BD(0, 0, 1);         // extrusion
        d.writeBD(0.0);              // thickness
        d.writeBD(0.0);              // oblique
        d.writeBD(0.0);              // rotation
        d.writeBD(n[2]);             // height
        d.writeBD(1.0);              // width factor
        o.text(words);
        for (int i = 0; i < 3; ++i) d.writeBS(0);  // generation and both alignments
      } else {
        // Elevation, alignment point, oblique, rotation, width factor,
        // generation and both alignments take their defaults.
        d.writeRC(0xFF);
        d.write2RD(n[0], n[1]);
        d.writeBE(0, 0, 1);
        d.writeBT(0.0);
        d.writeRD(n[2]);  // height
        o.text(words);
      }
      o.handles().writeH(kHardPointer, h(oStandardStyle));
      break;
    }
    case Kind::kInsert:
      d.write3BD(n[0], n[1], n[2]);
      if (old) {
        d.write3BD(n[3], n[4], n[5]);
      } else if (sameBits(n[3], 1.0) && sameBits(n[4], 1.0) && sameBits(n[5], 1.0)) {
        d.writeBB(3);
      } else {
        d.writeBB(0);
        d.writeRD(n[3]);
        d.writeDD(n[4], n[3]);
        d.writeDD(n[5], n[3]);
      }
      d.writeBD(n[6]);
      d.write3BD(0, 0, 1);
      d.writeB(false);  // no attributes
      o.handles().writeH(kHardPointer, blockRecord(entity.text));
      break;
  }
  addObject(entity.handle, o.finish());
}

Bytes Writer::build() {
  addControls();
  addTables();
  addDictionaries();
  addSpace(false);
  addSpace(true);
  addBlocks();
  if (release_ >= Release::kR2000) {
    addLayout(false);
    addLayout(true);
  }

  Bytes objects;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> offsets;
  if (paged()) objects = {0xCA, 0x0D, 0, 0};  // the objects section starts with 0x0DCA
  for (const StoredObject& object : objects_) {
    offsets.emplace_back(object.handle, objects.size());
    objects.insert(objects.end(), object.bytes.begin(), object.bytes.end());
  }
  std::uint8_t imageCode = 0;
  switch (spec_.preview.format) {
    case PreviewFormat::kNone: break;
    case PreviewFormat::kBmp: imageCode = 2; break;
    case PreviewFormat::kWmf: imageCode = 3; break;
    case PreviewFormat::kPng: imageCode = 6; break;
  }

  if (!paged()) {
    R13Parts parts;
    parts.release = release_;
    parts.version = spec_.version;
    parts.codePage = spec_.codePage;
    parts.header = headerSection();
    parts.classes = classesSection();
    parts.objects = std::move(objects);
    parts.handleOffsets = std::move(offsets);
    parts.secondHeaderHandles = {handseed(),          h(oBlockControl),    h(oLayerControl),   h(oStyleControl),
                                 h(oLtypeControl),    h(oViewControl),     h(oUcsControl),     h(oVportControl),
                                 h(oAppidControl),    h(oDimstyleControl), h(oVpEntHdrControl), h(oNamedDict),
                                 h(oMlineStyleDict),  h(oGroupDict)};
    parts.imageCode = imageCode;
    parts.picture = spec_.preview.bytes;
    return buildR13File(parts);
  }
  R2004Parts parts;
  parts.version = spec_.version;
  parts.codePage = spec_.codePage;
  parts.imageCode = imageCode;
  parts.picture = spec_.preview.bytes;
  // The template holds an empty description and MEASUREMENT 0, in the form
  // of the release.
  const Bytes templ = apart() ? Bytes{1, 0, 0, 0, 0, 0} : Bytes{0, 0, 0, 0};
  parts.sections = {{"AcDb:SummaryInfo", summaryInfo(), false},
                    {"AcDb:AcDbObjects", std::move(objects), true},
                    {"AcDb:Template", templ, true},
                    {"AcDb:Handles", objectMap(std::move(offsets)), true},
                    {"AcDb:Classes", classesSection(), true},
                    {"AcDb:Header", headerSection(), true}};
  return buildR2004File(parts);
}

// ---- Checking a plan

std::string checkText(std::string_view what, std::string_view text, Release release, std::uint16_t codePage) {
  if (!isUtf8(text)) return std::string(what) + " is not UTF-8";
  if (release >= Release::kR2010) {
    if (toUtf16(text).size() > kMaxStoredText) return std::string(what) + " is too long";
    return "";
  }
  std::string stored;
  if (!toCodePage1252(text, stored)) return std::string(what) + " has a character code page 1252 lacks";
  if (codePage != kCodePageAnsi1252) {
    for (char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) return std::string(what) + " needs code page 30 (ANSI 1252)";
    }
  }
  if (stored.size() > kMaxStoredText) return std::string(what) + " is too long";
  return "";
}

std::string checkStamp(std::string_view what, const std::optional<Stamp>& stamp) {
  if (!stamp) return "";
  if (stamp->days < 0) return std::string(what) + " has a negative day number";
  if (stamp->milliseconds < 0 || stamp->milliseconds >= kMsPerDay)
    return "the milliseconds of " + std::string(what) + " are outside 0 to 86399999";
  return "";
}

std::string checkEntity(const EntitySpec& e, const DrawingSpec& plan, Release release, std::size_t blocksBefore,
                        std::set<std::uint64_t>& seen) {
  const EntityKind* kind = findKind(e.type);
  if (kind == nullptr) return "unknown entity type \"" + e.type + "\"";
  if (e.handle == 0) return "an entity has handle 0";
  if (e.handle == UINT64_MAX) return "handle FFFFFFFFFFFFFFFF leaves no next handle";
  if (!seen.insert(e.handle).second) return "handle " + hex(e.handle) + " is used twice";
  const std::string name = std::string(kind->name) + " " + hex(e.handle);
  if (!e.numbers.empty()) {
    const bool fits = kind->kind == Kind::kLwPolyline ? e.numbers.size() % 3 == 0 : e.numbers.size() == kind->numbers;
    if (!fits) return name + " has " + std::to_string(e.numbers.size()) + " numbers";
  }
  if (!e.layer.empty() && e.layer != "0") {
    bool known = false;
    for (const std::string& layer : plan.layers) known = known || upper(layer) == upper(e.layer);
    if (!known) return name + " is on layer \"" + e.layer + "\", which the plan does not list";
  }
  if (kind->kind == Kind::kInsert) {
    bool known = false;
    for (std::size_t b = 0; b < blocksBefore; ++b) known = known || upper(plan.blocks[b].name) == upper(e.text);
    if (!known) return name + " refers to block \"" + e.text + "\", which is not defined before it";
  }
  if (kind->kind == Kind::kText || kind->kind == Kind::kInsert) {
    if (std::string problem = checkText("the text of " + name, e.text, release, plan.codePage); !problem.empty())
      return problem;
  }
  return "";
}

std::string checkPlan(const DrawingSpec& plan, Release release) {
  if (plan.days < 0) return "the creation date has a negative day number";
  if (plan.milliseconds < 0 || plan.milliseconds >= kMsPerDay)
    return "the milliseconds of the creation date are outside 0 to 86399999";
  for (const auto& [what, stamp] : {std::pair{"the editing time", &plan.editingTime},
                                    std::pair{"the user timer", &plan.userTimer},
                                    std::pair{"the update date", &plan.updated}}) {
    if (std::string problem = checkStamp(what, *stamp); !problem.empty()) return problem;
  }
  std::set<std::string> layers{"0"};
  for (const std::string& layer : plan.layers) {
    if (layer.empty()) return "a layer has no name";
    if (!layers.insert(upper(layer)).second) return "layer \"" + layer + "\" is listed twice";
    if (std::string problem = checkText("layer \"" + layer + "\"", layer, release, plan.codePage); !problem.empty())
      return problem;
  }
  std::set<std::uint64_t> seen;
  for (const EntitySpec& e : plan.entities) {
    if (std::string problem = checkEntity(e, plan, release, plan.blocks.size(), seen); !problem.empty())
      return problem;
  }
  std::set<std::string> blocks;
  for (std::size_t b = 0; b < plan.blocks.size(); ++b) {
    const BlockSpec& block = plan.blocks[b];
    if (block.name.empty() || block.name[0] == '*') return "a block needs a name not starting with '*'";
    if (!blocks.insert(upper(block.name)).second) return "block \"" + block.name + "\" is defined twice";
    if (std::string problem = checkText("block \"" + block.name + "\"", block.name, release, plan.codePage);
        !problem.empty())
      return problem;
    for (const EntitySpec& e : block.entities) {
      if (std::string problem = checkEntity(e, plan, release, b, seen); !problem.empty()) return problem;
    }
  }
  for (const std::optional<std::string>* id : {&plan.fingerprintGuid, &plan.versionGuid}) {
    if (!*id) continue;
    for (char c : **id) {
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
        return "a GUID must be printable ASCII";
    }
    if ((*id)->size() > 255) return "a GUID is too long";
  }
  if (release >= Release::kR2004) {
    const SummaryInfoSpec& s = plan.summaryInfo;
    for (const std::string* field : {&s.title, &s.subject, &s.author, &s.keywords, &s.comments, &s.lastSavedBy,
                                     &s.revisionNumber, &s.hyperlinkBase}) {
      if (std::string problem = checkText("a summary text", *field, release, plan.codePage); !problem.empty())
        return problem;
    }
  } else if (release >= Release::kR2000) {
    if (std::string problem = checkText("the hyperlink base", plan.summaryInfo.hyperlinkBase, release, plan.codePage);
        !problem.empty())
      return problem;
  }
  if (plan.preview.format != PreviewFormat::kNone) {
    if (plan.preview.bytes.empty()) return "the preview has no bytes";
    if (plan.preview.format == PreviewFormat::kPng && release < Release::kR2004)
      return "a PNG preview needs AC1018 or later";
    if (plan.preview.bytes.size() > 0x10000000) return "the preview is too large";
  }
  return "";
}

}  // namespace

const std::vector<std::string>& knownEntityTypes() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const EntityKind& kind : kEntityKinds) out.emplace_back(kind.name);
    return out;
  }();
  return names;
}

std::string fingerprintGuidOf(const DrawingSpec& plan) {
  return plan.fingerprintGuid.value_or(derivedGuid(plan, 1, false));
}

std::string versionGuidOf(const DrawingSpec& plan) { return plan.versionGuid.value_or(derivedGuid(plan, 2, true)); }

const std::vector<std::string>& knownVersions() {
  static const std::vector<std::string> versions{"AC1012", "AC1014", "AC1015", "AC1018",
                                                 "AC1024", "AC1027", "AC1032"};
  return versions;
}

std::string writeDrawing(const DrawingSpec& plan, std::vector<std::uint8_t>& out) {
  out.clear();
  Release release{};
  if (!releaseOf(plan.version, release)) return "unknown version \"" + plan.version + "\"";
  if (std::string problem = checkPlan(plan, release); !problem.empty()) return problem;
  std::set<std::uint64_t> used;
  Handles handles;
  const auto use = [&](const EntitySpec& e) {
    used.insert(e.handle);
    handles.highest = std::max(handles.highest, e.handle);
  };
  for (const EntitySpec& e : plan.entities) use(e);
  for (const BlockSpec& b : plan.blocks) {
    for (const EntitySpec& e : b.entities) use(e);
  }
  std::uint64_t candidate = 1;
  const auto next = [&]() {
    while (used.count(candidate) != 0) ++candidate;
    handles.highest = std::max(handles.highest, candidate);
    return candidate++;
  };
  for (std::uint64_t& handle : handles.own) handle = next();
  for (std::size_t i = 0; i < plan.layers.size(); ++i) handles.layers.push_back(next());
  for (std::size_t i = 0; i < plan.blocks.size(); ++i) {
    BlockHandles b;
    b.record = next();
    b.begin = next();
    b.end = next();
    handles.blocks.push_back(b);
  }
  Writer writer(plan, release, handles);
  out = writer.build();
  if (out.size() > UINT32_MAX) {
    out.clear();
    return "the drawing would exceed 4 GB";
  }
  return "";
}

std::string writeDrawingFile(const std::filesystem::path& file, const DrawingSpec& plan) {
  std::vector<std::uint8_t> bytes;
  if (std::string problem = writeDrawing(plan, bytes); !problem.empty()) return problem;
  std::filesystem::path temp = file;
  temp += ".tmp";
  {
    std::ofstream stream(temp, std::ios::binary | std::ios::trunc);
    if (!stream) return "cannot create " + temp.string();
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    stream.close();
    if (!stream) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return "cannot write " + temp.string();
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return "cannot replace " + file.string() + ": " + ec.message();
  }
  return "";
}

}  // namespace veldra::dwgwrite
