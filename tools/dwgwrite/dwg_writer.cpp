#include "dwgwrite/dwg_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <string_view>
#include <system_error>

#include "dwgwrite/bit_writer.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 16> kLocatorEnd{0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                                   0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
constexpr std::array<std::uint8_t, 16> kHeaderStart{0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                                    0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
constexpr std::array<std::uint8_t, 16> kHeaderEnd{0x30, 0x84, 0xE0, 0xDC, 0x02, 0x21, 0xC7, 0x56,
                                                  0xA0, 0x83, 0x97, 0x47, 0xB1, 0x92, 0xCC, 0xA0};
constexpr std::array<std::uint8_t, 16> kClassesStart{0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                                     0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
constexpr std::array<std::uint8_t, 16> kClassesEnd{0x72, 0x5E, 0x3B, 0x47, 0x3B, 0x56, 0x07, 0x3A,
                                                   0x3F, 0x23, 0x0B, 0xA0, 0x18, 0x30, 0x49, 0x75};
constexpr std::array<std::uint8_t, 16> kSecondStart{0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                                    0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};
constexpr std::array<std::uint8_t, 16> kSecondEnd{0x2B, 0x84, 0xDE, 0x31, 0xD7, 0x6C, 0x60, 0x40,
                                                  0xAC, 0xDB, 0xBF, 0xF6, 0xED, 0xC3, 0x55, 0xFE};
constexpr std::array<std::uint8_t, 16> kImageStart{0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                                   0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
constexpr std::array<std::uint8_t, 16> kImageEnd{0xE0, 0xDA, 0x92, 0xF8, 0x2B, 0xC9, 0xD7, 0xD7,
                                                 0x62, 0xA8, 0x35, 0xC0, 0x62, 0xBB, 0xEF, 0xD4};

constexpr std::uint16_t kSectionCrcSeed = 0xC0C1;
constexpr std::uint8_t kMaintenanceRelease = 0x0F;
constexpr std::uint16_t kCodePageAnsi1252 = 30;
// Six section locators: header variables, classes, object map, the unused
// object free space record, the template and the unused auxiliary header.
// An even count keeps the second header byte-aligned before its check value.
constexpr unsigned kLocatorCount = 6;
constexpr std::uint16_t kLocatorCrcMask = 0x8461;  // for six locators
constexpr std::size_t kFileHeaderSize = 0x19 + kLocatorCount * 9 + 2 + 16;
constexpr std::size_t kMaxMapSectionData = 2032;

// Handle reference codes.
constexpr unsigned kSoftOwner = 2;
constexpr unsigned kHardOwner = 3;
constexpr unsigned kSoftPointer = 4;
constexpr unsigned kHardPointer = 5;

// Fixed object type numbers.
enum ObjectType : std::uint16_t {
  kText = 1,
  kBlock = 4,
  kEndblk = 5,
  kArc = 17,
  kCircle = 18,
  kLine = 19,
  kPoint = 27,
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
  // Not a fixed type: the number of the drawing's first class, which is
  // the layout class.
  kLayout = 500,
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

struct EntityKind {
  std::string_view name;
  ObjectType type;
};

constexpr std::array<EntityKind, 5> kEntityKinds{{
    {"LINE", kLine}, {"CIRCLE", kCircle}, {"ARC", kArc}, {"POINT", kPoint}, {"TEXT", kText}}};

const EntityKind* findKind(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const EntityKind& kind : kEntityKinds) {
    if (kind.name == upper) return &kind;
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

// One object as it is stored: data stream and handle stream, then framed
// with its size and check value.
class ObjectBuilder {
 public:
  ObjectBuilder(ObjectType type, std::uint64_t handle) {
    data_.writeBS(type);
    sizePos_ = data_.bitCount();
    data_.writeRL(0);  // bits before the handle stream, patched at the end
    data_.writeH(0, handle);
    data_.writeBS(0);  // no extended entity data
  }

  // The rest of the common data of a table, control or dictionary object:
  // the number of reactors, whose handles follow the owner's.
  void nonEntityCommon(std::uint32_t reactors = 0) { data_.writeBL(reactors); }

  // The rest of the common data of an entity: no graphic, the space, no
  // reactors, links stored, every property "by layer".
  void entityCommon(bool paperSpace) {
    data_.writeB(false);
    data_.writeBB(paperSpace ? 1 : 2);
    data_.writeBL(0);
    data_.writeB(false);
    data_.writeCMC(256);
    data_.writeBD(1.0);
    data_.writeBB(0);
    data_.writeBB(0);
    data_.writeBS(0);
    data_.writeRC(29);
  }

  // The common handles of an entity: extension dictionary (none), previous
  // and next entity of its space, layer.
  void entityHandles(std::uint64_t previous, std::uint64_t next, std::uint64_t layer) {
    handles_.writeH(kHardOwner, 0);
    handles_.writeH(kSoftPointer, previous);
    handles_.writeH(kSoftPointer, next);
    handles_.writeH(kHardPointer, layer);
  }

  // Owner, then the (absent) extension dictionary, for an object without
  // reactors.
  void ownerHandles(std::uint64_t owner) {
    handles_.writeH(kSoftPointer, owner);
    handles_.writeH(kHardOwner, 0);
  }

  BitWriter& data() { return data_; }
  BitWriter& handles() { return handles_; }

  Bytes finish() {
    data_.patchRL(sizePos_, static_cast<std::uint32_t>(data_.bitCount()));
    data_.append(handles_);
    BitWriter framed;
    framed.writeMS(static_cast<std::uint32_t>(data_.bytes().size()));
    framed.append(data_);
    Bytes out = framed.bytes();
    const std::uint16_t crc = crc16(out, kSectionCrcSeed);
    out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    return out;
  }

 private:
  BitWriter data_;
  BitWriter handles_;
  std::size_t sizePos_ = 0;
};

void tableEntryName(BitWriter& w, std::string_view name) {
  w.writeTV(name);
  w.writeB(false);  // not referenced by an external reference
  w.writeBS(0);     // external reference index + 1
  w.writeB(false);  // not dependent on an external reference
}

void append(Bytes& out, std::span<const std::uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

void appendRL(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void appendRS(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// A sentinel-framed section: start sentinel, RL size, data, check value over
// size and data, end sentinel.
Bytes framedSection(const std::array<std::uint8_t, 16>& start, const Bytes& data,
                    const std::array<std::uint8_t, 16>& end) {
  Bytes body;
  appendRL(body, static_cast<std::uint32_t>(data.size()));
  append(body, data);
  const std::uint16_t crc = crc16(body, kSectionCrcSeed);
  Bytes out(start.begin(), start.end());
  append(out, body);
  appendRS(out, crc);
  append(out, end);
  return out;
}

// The dimension values of a new imperial drawing, DIMPOST to DIMATFIT,
// stored alike in the header variables and in the dimension style.
void writeDimensionValues(BitWriter& w) {
  w.writeTV("");  // DIMPOST
  w.writeTV("");  // DIMAPOST
  // DIMSCALE DIMASZ DIMEXO DIMDLI DIMEXE DIMRND DIMDLE DIMTP DIMTM
  for (double d : {1.0, 0.18, 0.0625, 0.38, 0.18, 0.0, 0.0, 0.0, 0.0}) w.writeBD(d);
  // DIMTOL DIMLIM DIMTIH DIMTOH DIMSE1 DIMSE2
  for (bool b : {false, false, true, true, false, false}) w.writeB(b);
  w.writeBS(0);  // DIMTAD
  w.writeBS(0);  // DIMZIN
  w.writeBS(0);  // DIMAZIN
  // DIMTXT DIMCEN DIMTSZ DIMALTF DIMLFAC DIMTVP DIMTFAC DIMGAP DIMALTRND
  for (double d : {0.18, 0.09, 0.0, 25.4, 1.0, 0.0, 1.0, 0.09, 0.0}) w.writeBD(d);
  w.writeB(false);  // DIMALT
  w.writeBS(2);     // DIMALTD
  // DIMTOFL DIMSAH DIMTIX DIMSOXD
  for (bool b : {false, false, false, false}) w.writeB(b);
  w.writeCMC(0);  // DIMCLRD
  w.writeCMC(0);  // DIMCLRE
  w.writeCMC(0);  // DIMCLRT
  // DIMADEC DIMDEC DIMTDEC DIMALTU DIMALTTD DIMAUNIT DIMFRAC DIMLUNIT DIMDSEP
  // DIMTMOVE DIMJUST
  for (std::uint16_t s : {0, 4, 4, 2, 2, 0, 0, 2, 46, 0, 0}) w.writeBS(s);
  w.writeB(false);  // DIMSD1
  w.writeB(false);  // DIMSD2
  // DIMTOLJ DIMTZIN DIMALTZ DIMALTTZ
  for (std::uint16_t s : {1, 0, 0, 0}) w.writeBS(s);
  w.writeB(false);                            // DIMUPT
  w.writeBS(3);                               // DIMATFIT
}

class Writer {
 public:
  Writer(const DrawingSpec& plan, std::array<std::uint64_t, kOwnCount> own, std::uint64_t handseed)
      : spec_(plan), own_(own), handseed_(handseed) {}

  Bytes build();

 private:
  std::uint64_t h(Own which) const { return own_[which]; }
  Bytes headerVariables() const;
  std::string guid(std::uint64_t salt) const;
  void addObject(std::uint64_t handle, Bytes bytes) { objects_.push_back({handle, std::move(bytes)}); }
  void addControls();
  void addTables();
  void addDictionaries();
  void addSpace(bool paper);
  void addLayout(bool paper);
  void addEntity(const EntitySpec& entity, std::size_t index, std::uint64_t previous, std::uint64_t next);
  Bytes objectMap(std::size_t objectsOffset, const std::vector<std::size_t>& offsets) const;

  struct StoredObject {
    std::uint64_t handle;
    Bytes bytes;
  };

  const DrawingSpec& spec_;
  std::array<std::uint64_t, kOwnCount> own_;
  std::uint64_t handseed_;
  std::vector<StoredObject> objects_;
};

// The header variables of R2000 in their stored order, with the defaults of
// a new drawing in imperial units.
Bytes Writer::headerVariables() const {
  BitWriter w;
  const auto point = [&w](double x, double y, double z) { w.write3BD(x, y, z); };
  const auto zeroPoint = [&point] { point(0, 0, 0); };
  w.writeBD(412148564080.0);  // fixed values of unknown meaning
  w.writeBD(1.0);
  w.writeBD(1.0);
  w.writeBD(1.0);
  w.writeTV("m");
  w.writeTV("");
  w.writeTV("");
  w.writeTV("");
  w.writeBL(0);
  w.writeBL(0);
  w.writeH(kHardPointer, 0);  // current viewport entity header
  // DIMASO DIMSHO PLINEGEN ORTHOMODE REGENMODE FILLMODE QTEXTMODE PSLTSCALE
  // LIMCHECK USRTIMER SKPOLY ANGDIR SPLFRAME MIRRTEXT WORLDVIEW TILEMODE
  // PLIMCHECK VISRETAIN DISPSILH PELLIPSE
  for (bool b : {true, true, false, false, true, true, false, true, false, true, false, false, false, false,
                 true, true, false, true, false, false}) {
    w.writeB(b);
  }
  // PROXYGRAPHICS TREEDEPTH LUNITS LUPREC AUNITS AUPREC ATTMODE PDMODE
  // USERI1-5 SPLINESEGS SURFU SURFV SURFTYPE SURFTAB1 SURFTAB2 SPLINETYPE
  // SHADEDGE SHADEDIF UNITMODE MAXACTVP ISOLINES CMLJUST TEXTQLTY
  for (std::uint16_t s : {1, 3020, 2, 4, 0, 0, 1, 0, 0, 0, 0, 0, 0, 8, 6, 6, 6, 6, 6, 6, 3, 70, 0, 64, 4, 0, 50}) {
    w.writeBS(s);
  }
  // LTSCALE TEXTSIZE TRACEWID SKETCHINC FILLETRAD THICKNESS ANGBASE PDSIZE
  // PLINEWID USERR1-5 CHAMFERA-D FACETRES CMLSCALE CELTSCALE
  for (double d : {1.0, 0.2, 0.05, 0.1, 0.5, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.5, 0.5, 0.0, 0.0,
                   0.5, 1.0, 1.0}) {
    w.writeBD(d);
  }
  w.writeTV(".");  // MENUNAME
  w.writeBL(static_cast<std::uint32_t>(spec_.days));  // TDCREATE
  w.writeBL(static_cast<std::uint32_t>(spec_.milliseconds));
  w.writeBL(static_cast<std::uint32_t>(spec_.days));  // TDUPDATE
  w.writeBL(static_cast<std::uint32_t>(spec_.milliseconds));
  w.writeBL(0);  // TDINDWG
  w.writeBL(0);
  w.writeBL(0);  // TDUSRTIMER
  w.writeBL(0);
  w.writeCMC(256);  // CECOLOR by layer
  w.writeH(0, handseed_);
  w.writeH(kHardPointer, h(oLayer0));         // CLAYER
  w.writeH(kHardPointer, h(oStandardStyle));  // TEXTSTYLE
  w.writeH(kHardPointer, h(oByLayer));        // CELTYPE
  w.writeH(kHardPointer, h(oStandardDimstyle));
  w.writeH(kHardPointer, h(oStandardMlineStyle));
  w.writeBD(0.0);                             // PSVPSCALE
  // Paper space, then model space: INSBASE EXTMIN EXTMAX LIMMIN LIMMAX
  // ELEVATION UCSORG UCSXDIR UCSYDIR UCSNAME UCSORTHOREF UCSORTHOVIEW UCSBASE
  // and the six orthographic UCS origins.
  for (int space = 0; space < 2; ++space) {
    zeroPoint();
    point(1e20, 1e20, 1e20);
    point(-1e20, -1e20, -1e20);
    w.write2RD(0.0, 0.0);
    w.write2RD(12.0, 9.0);
    w.writeBD(0.0);
    zeroPoint();
    point(1, 0, 0);
    point(0, 1, 0);
    w.writeH(kHardPointer, 0);
    w.writeH(kHardPointer, 0);
    w.writeBS(0);
    w.writeH(kHardPointer, 0);
    for (int i = 0; i < 6; ++i) zeroPoint();
  }
  writeDimensionValues(w);
  w.writeH(kHardPointer, h(oStandardStyle));  // DIMTXSTY
  for (int i = 0; i < 4; ++i) w.writeH(kHardPointer, 0);  // DIMLDRBLK DIMBLK DIMBLK1 DIMBLK2
  w.writeBS(0xFFFE);  // DIMLWD by block
  w.writeBS(0xFFFE);  // DIMLWE by block
  for (Own control : {oBlockControl, oLayerControl, oStyleControl, oLtypeControl, oViewControl, oUcsControl,
                      oVportControl, oAppidControl, oDimstyleControl, oVpEntHdrControl}) {
    w.writeH(kHardOwner, h(control));
  }
  w.writeH(kHardPointer, h(oGroupDict));
  w.writeH(kHardPointer, h(oMlineStyleDict));
  w.writeH(kHardOwner, h(oNamedDict));
  w.writeBS(1);   // TSTACKALIGN
  w.writeBS(70);  // TSTACKSIZE
  w.writeTV("");  // HYPERLINKBASE
  w.writeTV("");  // STYLESHEET
  w.writeH(kHardPointer, h(oLayoutDict));
  w.writeH(kHardPointer, 0);  // plot settings dictionary
  w.writeH(kHardPointer, 0);  // plot styles dictionary
  // CELWEIGHT by layer (29), no ENDCAPS or JOINSTYLE, LWDISPLAY off (0x200),
  // XEDIT on (0x400 clear), EXTNAMES on (0x800), PSTYLEMODE colour-dependent
  // (0x2000), OLESTARTUP off.
  w.writeBL(29 | 0x200 | 0x800 | 0x2000);
  w.writeBS(1);  // INSUNITS inches
  w.writeBS(0);  // CEPSNTYPE by layer
  w.writeTV(guid(1));  // FINGERPRINTGUID
  w.writeTV(guid(2));  // VERSIONGUID
  w.writeH(kHardPointer, h(oPaperSpace));
  w.writeH(kHardPointer, h(oModelSpace));
  w.writeH(kHardPointer, h(oByLayer));
  w.writeH(kHardPointer, h(oByBlock));
  w.writeH(kHardPointer, h(oContinuous));
  return w.bytes();
}

// A GUID-shaped text drawn from the plan, so that the same plan gives the
// same file and different specs give different identities.
std::string Writer::guid(std::uint64_t salt) const {
  const auto mix = [](std::uint64_t hash, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      hash ^= (value >> (8 * i)) & 0xFF;
      hash *= 0x100000001B3ull;  // 64-bit FNV-1a
    }
    return hash;
  };
  std::uint64_t high = mix(0xCBF29CE484222325ull, salt);
  high = mix(high, static_cast<std::uint64_t>(spec_.days));
  high = mix(high, static_cast<std::uint64_t>(spec_.milliseconds));
  for (const EntitySpec& e : spec_.entities) high = mix(high, e.handle * 2 + (e.paperSpace ? 1 : 0));
  const std::uint64_t low = mix(high, salt + 0x9E3779B97F4A7C15ull);
  std::string digits = hex(high);
  digits.insert(0, 16 - digits.size(), '0');
  std::string lowDigits = hex(low);
  digits += std::string(16 - lowDigits.size(), '0') + lowDigits;
  return "{" + digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-" + digits.substr(12, 4) + "-" +
         digits.substr(16, 4) + "-" + digits.substr(20, 12) + "}";
}

void Writer::addControls() {
  const auto control = [this](ObjectType type, Own which, std::vector<std::uint64_t> entries) {
    ObjectBuilder o(type, h(which));
    o.nonEntityCommon();
    o.data().writeBL(static_cast<std::uint32_t>(entries.size()));
    if (type == kDimstyleControl) o.data().writeRC(0);  // no further hard handles
    o.handles().writeH(kSoftPointer, 0);
    o.handles().writeH(kHardOwner, 0);
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
  control(kBlockControl, oBlockControl, {});
  control(kLayerControl, oLayerControl, {h(oLayer0)});
  control(kStyleControl, oStyleControl, {h(oStandardStyle)});
  control(kLtypeControl, oLtypeControl, {h(oContinuous)});
  control(kViewControl, oViewControl, {});
  control(kUcsControl, oUcsControl, {});
  control(kVportControl, oVportControl, {h(oActiveVport)});
  control(kAppidControl, oAppidControl, {h(oAcadAppid)});
  control(kDimstyleControl, oDimstyleControl, {h(oStandardDimstyle)});
  control(kVpEntHdrControl, oVpEntHdrControl, {});
}

void Writer::addTables() {
  {
    ObjectBuilder o(kLayer, h(oLayer0));
    o.nonEntityCommon();
    tableEntryName(o.data(), "0");
    o.data().writeBS(0x3F0);  // plotted, default lineweight, thawed, on, unlocked
    o.data().writeCMC(7);
    o.ownerHandles(h(oLayerControl));
    o.handles().writeH(kHardPointer, 0);  // external reference block
    o.handles().writeH(kHardPointer, 0);  // plot style
    o.handles().writeH(kHardPointer, h(oContinuous));
    addObject(h(oLayer0), o.finish());
  }
  {
    ObjectBuilder o(kStyle, h(oStandardStyle));
    o.nonEntityCommon();
    tableEntryName(o.data(), "Standard");
    o.data().writeB(false);  // not vertical
    o.data().writeB(false);  // not a shape file
    o.data().writeBD(0.0);   // fixed height
    o.data().writeBD(1.0);   // width factor
    o.data().writeBD(0.0);   // oblique angle
    o.data().writeRC(0);     // generation
    o.data().writeBD(0.2);   // last height
    o.data().writeTV("txt");
    o.data().writeTV("");
    o.ownerHandles(h(oStyleControl));
    o.handles().writeH(kHardPointer, 0);
    addObject(h(oStandardStyle), o.finish());
  }
  const auto linetype = [this](Own which, std::string_view name, std::string_view description) {
    ObjectBuilder o(kLtype, h(which));
    o.nonEntityCommon();
    tableEntryName(o.data(), name);
    o.data().writeTV(description);
    o.data().writeBD(0.0);  // pattern length
    o.data().writeRC('A');  // alignment
    o.data().writeRC(0);    // no dashes
    for (int i = 0; i < 256; ++i) o.data().writeRC(0);  // text area of the dashes
    o.ownerHandles(h(oLtypeControl));
    o.handles().writeH(kHardPointer, 0);
    addObject(h(which), o.finish());
  };
  {
    ObjectBuilder o(kAppid, h(oAcadAppid));
    o.nonEntityCommon();
    tableEntryName(o.data(), "ACAD");
    o.data().writeRC(0);
    o.ownerHandles(h(oAppidControl));
    o.handles().writeH(kHardPointer, 0);
    addObject(h(oAcadAppid), o.finish());
  }
  {
    ObjectBuilder o(kDimstyle, h(oStandardDimstyle));
    o.nonEntityCommon();
    tableEntryName(o.data(), "Standard");
    writeDimensionValues(o.data());
    o.data().writeBS(0xFFFE);  // DIMLWD by block
    o.data().writeBS(0xFFFE);  // DIMLWE by block
    o.data().writeB(false);
    o.ownerHandles(h(oDimstyleControl));
    o.handles().writeH(kHardPointer, 0);  // external reference block
    o.handles().writeH(kHardPointer, h(oStandardStyle));  // DIMTXSTY
    for (int i = 0; i < 4; ++i) o.handles().writeH(kHardPointer, 0);  // DIMLDRBLK DIMBLK DIMBLK1 DIMBLK2
    addObject(h(oStandardDimstyle), o.finish());
  }
  {
    // The model space view: the default limits, seen from above.
    ObjectBuilder o(kVport, h(oActiveVport));
    o.nonEntityCommon();
    BitWriter& d = o.data();
    tableEntryName(d, "*Active");
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
    d.writeRC(0);            // render mode
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
    d.writeB(false);
    d.writeB(true);          // UCS saved with the viewport
    d.write3BD(0, 0, 0);
    d.write3BD(1, 0, 0);
    d.write3BD(0, 1, 0);
    d.writeBD(0.0);          // UCS elevation
    d.writeBS(0);            // not orthographic
    o.ownerHandles(h(oVportControl));
    for (int i = 0; i < 3; ++i) o.handles().writeH(kHardPointer, 0);  // external reference block, named and base UCS
    addObject(h(oActiveVport), o.finish());
  }
  linetype(oByBlock, "ByBlock", "");
  linetype(oByLayer, "ByLayer", "");
  linetype(oContinuous, "Continuous", "Solid line");
}

void Writer::addDictionaries() {
  const auto dictionary = [this](Own which, std::uint64_t owner,
                                 std::vector<std::pair<std::string_view, std::uint64_t>> items) {
    ObjectBuilder o(kDictionary, h(which));
    o.nonEntityCommon();
    o.data().writeBL(static_cast<std::uint32_t>(items.size()));
    o.data().writeBS(1);  // cloning: keep existing
    o.data().writeRC(0);  // not a hard owner
    for (const auto& item : items) o.data().writeTV(item.first);
    o.ownerHandles(owner);
    for (const auto& item : items) o.handles().writeH(kSoftOwner, item.second);
    addObject(h(which), o.finish());
  };
  dictionary(oNamedDict, 0,
             {{"ACAD_GROUP", h(oGroupDict)}, {"ACAD_LAYOUT", h(oLayoutDict)}, {"ACAD_MLINESTYLE", h(oMlineStyleDict)}});
  dictionary(oGroupDict, h(oNamedDict), {});
  dictionary(oMlineStyleDict, h(oNamedDict), {{"Standard", h(oStandardMlineStyle)}});
  {
    // Two lines half a unit either side, colour and linetype by layer.
    ObjectBuilder o(kMlineStyle, h(oStandardMlineStyle));
    o.nonEntityCommon(1);
    BitWriter& d = o.data();
    d.writeTV("Standard");
    d.writeTV("");
    d.writeBS(0);  // flags
    d.writeCMC(256);
    d.writeBD(1.5707963267948966);  // start and end angles
    d.writeBD(1.5707963267948966);
    d.writeRC(2);
    for (double offset : {0.5, -0.5}) {
      d.writeBD(offset);
      d.writeCMC(256);
      d.writeBS(0x7FFF);
    }
    o.handles().writeH(kSoftPointer, h(oMlineStyleDict));  // owner
    o.handles().writeH(kSoftPointer, h(oMlineStyleDict));  // reactor
    o.handles().writeH(kHardOwner, 0);
    addObject(h(oStandardMlineStyle), o.finish());
  }
  dictionary(oLayoutDict, h(oNamedDict), {{"Layout1", h(oPaperLayout)}, {"Model", h(oModelLayout)}});
}

// The page setup and layout of one space: letter paper, no plotter, the
// model layout first in the tab order.
void Writer::addLayout(bool paper) {
  const Own which = paper ? oPaperLayout : oModelLayout;
  ObjectBuilder o(kLayout, h(which));
  o.nonEntityCommon(1);  // the layout dictionary watches its layouts
  BitWriter& d = o.data();
  d.writeTV("");  // page setup name
  d.writeTV("none_device");
  d.writeBS(paper ? 688 : 11952);  // plot flags
  for (double margin : {6.35, 6.35, 6.35, 6.35}) d.writeBD(margin);
  d.writeBD(215.9);  // paper width and height in millimetres
  d.writeBD(279.4);
  d.writeTV("Letter_(8.50_x_11.00_Inches)");
  d.writeBD(0.0);  // plot origin
  d.writeBD(0.0);
  d.writeBS(0);                // paper units: inches
  d.writeBS(1);                // rotation
  d.writeBS(paper ? 5 : 0);    // plot type: layout or display
  for (int i = 0; i < 4; ++i) d.writeBD(0.0);  // plot window
  d.writeTV("");               // plot view name
  d.writeBD(1.0);              // real world units
  d.writeBD(1.0);              // drawing units
  d.writeTV("");               // plot style sheet
  d.writeBS(paper ? 16 : 0);   // scale type
  d.writeBD(1.0);              // scale factor
  d.writeBD(0.0);              // paper image origin
  d.writeBD(0.0);
  d.writeTV(paper ? "Layout1" : "Model");
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
  o.handles().writeH(kSoftPointer, h(oLayoutDict));  // owner
  o.handles().writeH(kSoftPointer, h(oLayoutDict));  // reactor
  o.handles().writeH(kHardOwner, 0);                 // extension dictionary
  o.handles().writeH(kSoftPointer, h(paper ? oPaperSpace : oModelSpace));
  o.handles().writeH(kSoftPointer, 0);  // last active viewport
  o.handles().writeH(kHardPointer, 0);  // base UCS
  o.handles().writeH(kHardPointer, 0);  // named UCS
  addObject(h(which), o.finish());
}

// One class: the layout, which R2000 stores as a class of its own.
Bytes classList() {
  BitWriter w;
  w.writeBS(kLayout);
  w.writeBS(0);  // proxy flags
  w.writeTV("ObjectDBX Classes");
  w.writeTV("AcDbLayout");
  w.writeTV("LAYOUT");
  w.writeB(false);  // was not a zombie
  w.writeBS(0x1F3);  // an object, not an entity
  return w.bytes();
}

void Writer::addSpace(bool paper) {
  std::vector<const EntitySpec*> members;
  for (const EntitySpec& e : spec_.entities) {
    if (e.paperSpace == paper) members.push_back(&e);
  }
  const Own record = paper ? oPaperSpace : oModelSpace;
  const Own block = paper ? oPaperBlock : oModelBlock;
  const Own endblk = paper ? oPaperEndblk : oModelEndblk;
  const std::string_view name = paper ? "*Paper_Space" : "*Model_Space";
  {
    ObjectBuilder o(kBlockHeader, h(record));
    o.nonEntityCommon();
    tableEntryName(o.data(), name);
    o.data().writeB(false);  // anonymous
    o.data().writeB(false);  // has attribute definitions
    o.data().writeB(false);  // external reference
    o.data().writeB(false);  // overlaid
    o.data().writeB(false);  // loaded external reference
    o.data().write3BD(0, 0, 0);
    o.data().writeTV("");   // external reference path
    o.data().writeRC(0);    // no inserts
    o.data().writeTV("");   // description
    o.data().writeBL(0);    // no preview
    o.ownerHandles(h(oBlockControl));
    o.handles().writeH(kHardPointer, 0);
    o.handles().writeH(kHardOwner, h(block));
    o.handles().writeH(kSoftPointer, members.empty() ? 0 : members.front()->handle);
    o.handles().writeH(kSoftPointer, members.empty() ? 0 : members.back()->handle);
    o.handles().writeH(kHardOwner, h(endblk));
    o.handles().writeH(kHardPointer, h(paper ? oPaperLayout : oModelLayout));
    addObject(h(record), o.finish());
  }
  {
    ObjectBuilder o(kBlock, h(block));
    o.entityCommon(paper);
    o.data().writeTV(name);
    o.entityHandles(0, 0, h(oLayer0));
    addObject(h(block), o.finish());
  }
  {
    ObjectBuilder o(kEndblk, h(endblk));
    o.entityCommon(paper);
    o.entityHandles(0, 0, h(oLayer0));
    addObject(h(endblk), o.finish());
  }
  for (std::size_t i = 0; i < members.size(); ++i) {
    addEntity(*members[i], i, i == 0 ? 0 : members[i - 1]->handle,
              i + 1 == members.size() ? 0 : members[i + 1]->handle);
  }
}

// Entities get simple geometry that differs with their place in the space,
// so that a drawing opened in a CAD program shows distinct items.
void Writer::addEntity(const EntitySpec& entity, std::size_t index, std::uint64_t previous, std::uint64_t next) {
  const EntityKind* kind = findKind(entity.type);
  ObjectBuilder o(kind->type, entity.handle);
  o.entityCommon(entity.paperSpace);
  BitWriter& d = o.data();
  const double x = static_cast<double>(index % 100);
  const double y = static_cast<double>(index / 100);
  switch (kind->type) {
    case kLine:
      d.writeB(true);  // both ends at z = 0
      d.writeRD(x);
      d.writeDD(x + 0.5, x);
      d.writeRD(y);
      d.writeDD(y + 0.5, y);
      d.writeBT(0.0);
      d.writeBE(0, 0, 1);
      break;
    case kCircle:
    case kArc:
      d.write3BD(x + 0.5, y + 0.5, 0.0);
      d.writeBD(0.25);
      d.writeBT(0.0);
      d.writeBE(0, 0, 1);
      if (kind->type == kArc) {
        d.writeBD(0.0);
        d.writeBD(3.14159265358979);
      }
      break;
    case kPoint:
      d.write3BD(x, y, 0.0);
      d.writeBT(0.0);
      d.writeBE(0, 0, 1);
      d.writeBD(0.0);  // x axis angle
      break;
    case kText:
      // Elevation, alignment point, oblique, rotation, width factor,
      // generation and both alignments take their defaults.
      d.writeRC(0xFF);
      d.write2RD(x, y);
      d.writeBE(0, 0, 1);
      d.writeBT(0.0);
      d.writeRD(0.2);  // height
      d.writeTV("VELDRA");
      break;
    default:
      break;
  }
  o.entityHandles(previous, next, h(oLayer0));
  if (kind->type == kText) o.handles().writeH(kHardPointer, h(oStandardStyle));
  addObject(entity.handle, o.finish());
}

// The object map: (handle, offset) pairs sorted by handle, as differences
// from the previous pair, in sections of at most 2032 bytes each framed by
// a big-endian size and check value; an empty section ends the map.
Bytes Writer::objectMap(std::size_t objectsOffset, const std::vector<std::size_t>& offsets) const {
  std::vector<std::pair<std::uint64_t, std::size_t>> entries;
  for (std::size_t i = 0; i < objects_.size(); ++i) {
    entries.emplace_back(objects_[i].handle, objectsOffset + offsets[i]);
  }
  std::sort(entries.begin(), entries.end());
  Bytes out;
  const auto flush = [&out](const Bytes& data) {
    Bytes section;
    const std::size_t size = data.size() + 2;
    section.push_back(static_cast<std::uint8_t>(size >> 8));
    section.push_back(static_cast<std::uint8_t>(size & 0xFF));
    append(section, data);
    const std::uint16_t crc = crc16(section, kSectionCrcSeed);
    append(out, section);
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  };
  Bytes data;
  std::uint64_t lastHandle = 0;
  std::int64_t lastOffset = 0;
  for (const auto& [handle, offset] : entries) {
    BitWriter pair;
    pair.writeUMC(handle - lastHandle);
    pair.writeMC(static_cast<std::int64_t>(offset) - lastOffset);
    if (data.size() + pair.bytes().size() > kMaxMapSectionData) {
      flush(data);
      data.clear();
      pair = BitWriter();
      pair.writeUMC(handle);
      pair.writeMC(static_cast<std::int64_t>(offset));
    }
    append(data, pair.bytes());
    lastHandle = handle;
    lastOffset = static_cast<std::int64_t>(offset);
  }
  if (!data.empty()) flush(data);
  flush(Bytes{});
  return out;
}

Bytes Writer::build() {
  addControls();
  addTables();
  addDictionaries();
  addSpace(false);
  addSpace(true);
  addLayout(false);
  addLayout(true);

  const Bytes header = framedSection(kHeaderStart, headerVariables(), kHeaderEnd);
  const Bytes classes = framedSection(kClassesStart, classList(), kClassesEnd);

  const std::size_t headerOffset = kFileHeaderSize;
  const std::size_t classesOffset = headerOffset + header.size();
  const std::size_t objectsOffset = classesOffset + classes.size();
  Bytes objects;
  std::vector<std::size_t> offsets;
  for (const StoredObject& object : objects_) {
    offsets.push_back(objects.size());
    append(objects, object.bytes);
  }
  const std::size_t mapOffset = objectsOffset + objects.size();
  const Bytes map = objectMap(objectsOffset, offsets);
  const std::size_t secondOffset = mapOffset + map.size();

  struct Locator {
    std::uint8_t number;
    std::uint32_t seeker;
    std::uint32_t size;
  };
  // The template section holds an empty description and MEASUREMENT 0.
  const Bytes templ{0, 0, 0, 0};

  // Second header: its own place, the version, the section locators and
  // the handles of the main control objects and dictionaries.
  const auto secondHeader = [&](const std::array<Locator, kLocatorCount>& locators) {
    BitWriter w;
    w.writeBL(static_cast<std::uint32_t>(secondOffset));
    for (char c : std::string_view("AC1015")) w.writeRC(static_cast<std::uint8_t>(c));
    for (int i = 0; i < 5; ++i) w.writeRC(0);
    w.writeRC(kMaintenanceRelease);
    w.writeBits(0, 4);
    // Fixed bits of unknown meaning, as the CAD program writes them.
    w.writeBits(0x10, 8);
    w.writeBits(0x87, 8);
    w.writeBits(0x90, 8);
    w.writeBits(0x78, 8);
    w.writeBits(0, 6);
    w.writeBS(kLocatorCount);
    for (const Locator& l : locators) {
      w.writeRC(l.number);
      w.writeBL(l.seeker);
      w.writeBL(l.size);
    }
    const std::array<std::uint64_t, 14> handles{handseed_,          h(oBlockControl),    h(oLayerControl),
                                                h(oStyleControl),    h(oLtypeControl),    h(oViewControl),
                                                h(oUcsControl),      h(oVportControl),    h(oAppidControl),
                                                h(oDimstyleControl), h(oVpEntHdrControl), h(oNamedDict),
                                                h(oMlineStyleDict),  h(oGroupDict)};
    w.writeBS(static_cast<std::uint16_t>(handles.size()));
    for (std::size_t i = 0; i < handles.size(); ++i) {
      std::uint8_t count = 0;
      for (std::uint64_t rest = handles[i]; rest != 0; rest >>= 8) ++count;
      if (count == 0) count = 1;
      w.writeRC(count);
      w.writeRC(static_cast<std::uint8_t>(i));
      for (unsigned k = count; k > 0; --k) w.writeRC(static_cast<std::uint8_t>(handles[i] >> (8 * (k - 1))));
    }
    w.alignToByte();
    Bytes body;
    // Size from the size field to the end sentinel: size, data, check value
    // and eight bytes of padding.
    appendRL(body, static_cast<std::uint32_t>(4 + w.bytes().size() + 2 + 8));
    append(body, w.bytes());
    const std::uint16_t crc = crc16(body, kSectionCrcSeed);
    Bytes out(kSecondStart.begin(), kSecondStart.end());
    append(out, body);
    appendRS(out, crc);
    out.insert(out.end(), 8, 0);
    append(out, kSecondEnd);
    return out;
  };

  std::array<Locator, kLocatorCount> locators{{
      {0, static_cast<std::uint32_t>(headerOffset), static_cast<std::uint32_t>(header.size())},
      {1, static_cast<std::uint32_t>(classesOffset), static_cast<std::uint32_t>(classes.size())},
      {2, static_cast<std::uint32_t>(mapOffset), static_cast<std::uint32_t>(map.size())},
      {3, 0, 0},
      // The template's place is known once the second header's size is;
      // any placeholder of four bytes' encoding gives that size.
      {4, static_cast<std::uint32_t>(secondOffset), static_cast<std::uint32_t>(templ.size())},
      {5, 0, 0},
  }};
  const std::size_t secondSize = secondHeader(locators).size();
  const std::size_t templOffset = secondOffset + secondSize;
  locators[4].seeker = static_cast<std::uint32_t>(templOffset);
  const Bytes second = secondHeader(locators);
  const std::size_t imageOffset = templOffset + templ.size();

  Bytes file;
  for (char c : std::string_view("AC1015")) file.push_back(static_cast<std::uint8_t>(c));
  file.insert(file.end(), {0, 0, 0, 0, 0, kMaintenanceRelease, 1});
  appendRL(file, static_cast<std::uint32_t>(imageOffset));
  file.insert(file.end(), {0x21, 0xE4});  // release bytes of the saving program, as a current CAD program writes them
  appendRS(file, kCodePageAnsi1252);
  appendRL(file, kLocatorCount);
  for (const Locator& l : locators) {
    file.push_back(l.number);
    appendRL(file, l.seeker);
    appendRL(file, l.size);
  }
  appendRS(file, static_cast<std::uint16_t>(crc16(file, 0) ^ kLocatorCrcMask));
  append(file, kLocatorEnd);
  append(file, header);
  append(file, classes);
  append(file, objects);
  append(file, map);
  append(file, second);
  append(file, templ);
  // An empty preview image.
  append(file, kImageStart);
  appendRL(file, 1);
  file.push_back(0);
  append(file, kImageEnd);
  return file;
}

std::string checkSpec(const DrawingSpec& plan) {
  if (plan.days < 0) return "the creation date has a negative day number";
  if (plan.milliseconds < 0 || plan.milliseconds >= 86400000) {
    return "the milliseconds of the creation date are outside 0 to 86399999";
  }
  std::set<std::uint64_t> seen;
  for (const EntitySpec& e : plan.entities) {
    if (findKind(e.type) == nullptr) return "unknown entity type \"" + e.type + "\"";
    if (e.handle == 0) return "an entity has handle 0";
    if (e.handle == UINT64_MAX) return "handle FFFFFFFFFFFFFFFF leaves no next handle";
    if (!seen.insert(e.handle).second) return "handle " + hex(e.handle) + " is used twice";
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

std::string writeDrawing(const DrawingSpec& plan, std::vector<std::uint8_t>& out) {
  out.clear();
  if (std::string problem = checkSpec(plan); !problem.empty()) return problem;
  std::set<std::uint64_t> used;
  std::uint64_t highest = 0;
  for (const EntitySpec& e : plan.entities) {
    used.insert(e.handle);
    highest = std::max(highest, e.handle);
  }
  std::array<std::uint64_t, kOwnCount> own{};
  std::uint64_t candidate = 1;
  for (std::uint64_t& handle : own) {
    while (used.count(candidate) != 0) ++candidate;
    handle = candidate++;
    highest = std::max(highest, handle);
  }
  Writer writer(plan, own, highest + 1);
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
