// The header variables, the class list and the summary information of a
// drawing, in the layout of its release.

#include <algorithm>
#include <cstring>

#include "dwgwrite/drawing.h"
#include "dwgwrite/text_encoding.h"

namespace veldra::dwgwrite::detail {

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

std::string derivedGuid(const DrawingSpec& plan, std::uint64_t salt, bool withVersion) {
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
  mix(static_cast<std::uint64_t>(plan.days));
  mix(static_cast<std::uint64_t>(plan.milliseconds));
  for (const EntitySpec& e : plan.entities) mixEntity(e);
  for (const std::string& layer : plan.layers) mixText(layer);
  for (const BlockSpec& block : plan.blocks) {
    mixText(block.name);
    for (const EntitySpec& e : block.entities) mixEntity(e);
  }
  if (withVersion) {
    mixText(plan.version);
    const Stamp saved = updatedStamp(plan);
    mix(static_cast<std::uint64_t>(saved.days));
    mix(static_cast<std::uint64_t>(saved.milliseconds));
    mix(static_cast<std::uint64_t>(editingStamp(plan).milliseconds));
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
    d.writeRC(apart() ? 2 : 0);  // XCLIPFRAME
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
  // Four shorts of unknown meaning close the variables from R14 to R2004;
  // later releases go on with the camera and lighting settings instead.
  if (release_ >= Release::kR14 && release_ <= Release::kR2004) {
    for (int i = 0; i < 4; ++i) d.writeBS(0);
  }
  if (apart()) {
    d.writeB(false);  // CAMERADISPLAY
    d.writeBL(0);
    d.writeBL(10);
    d.writeBD(1.0);
    // STEPSPERSEC STEPSIZE 3DDWFPREC LENSLENGTH CAMERAHEIGHT
    for (double v : {2.0, 6.0, 2.0, 50.0, 0.0}) d.writeBD(v);
    d.writeRC(0);  // SOLIDHIST
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
    d.writeB(true);
    color(1);                 // INTERFERECOLOR
    handle(kHardPointer, 0);  // INTERFEREOBJVS
    handle(kHardPointer, 0);  // INTERFEREVPVS
    d.writeRC(0);             // CSHADOW
    d.writeBD(0.0);
  }
  return framedSection(d, strings, &handleStream, kHeaderStart, kHeaderEnd);
}

// The section: size, then the data framed by sentinels with a check value
// over size and data. From R2007 on a bit size follows the size and counts
// from its own field to the end of the texts; the handles, if any, come
// after.
Bytes Writer::framedSection(BitWriter& d, const BitWriter& strings, const BitWriter* handles, const Sentinel& start,
                            const Sentinel& end) const {
  Bytes body;
  const auto appendRL = [&body](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  if (apart()) {
    appendStringStream(d, strings);
    BitWriter all;
    all.writeRL(static_cast<std::uint32_t>(32 + d.bitCount()));
    all.append(d);
    if (handles) all.append(*handles);
    appendRL(static_cast<std::uint32_t>(all.bytes().size()));
    if (release_ >= Release::kR2018) appendRL(0);
    body.insert(body.end(), all.bytes().begin(), all.bytes().end());
  } else {
    appendRL(static_cast<std::uint32_t>(d.bytes().size()));
    body.insert(body.end(), d.bytes().begin(), d.bytes().end());
  }
  const std::uint16_t crc = crc16(body, kSectionCrcSeed);
  Bytes out(start.begin(), start.end());
  out.insert(out.end(), body.begin(), body.end());
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  out.insert(out.end(), end.begin(), end.end());
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
  return framedSection(d, strings, nullptr, kClassesStart, kClassesEnd);
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

}  // namespace veldra::dwgwrite::detail
