// The header variables, the class list and the summary information of a
// drawing, in the layout of its release.

#include <algorithm>
#include <cstring>
#include <utility>

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

std::span<const HeaderField> variablesFrom(std::string_view first, std::string_view last) {
  const auto fields = dwg::layout::headerFields();
  const auto named = [](std::string_view name) { return [name](const HeaderField& f) { return f.name == name; }; };
  const auto begin = std::find_if(fields.begin(), fields.end(), named(first));
  const auto end = std::find_if(begin, fields.end(), named(last));
  return {begin, end == fields.end() ? end : end + 1};
}

// The texts the writer gives; every other text is empty.
std::string Writer::variableText(std::string_view name) const {
  if (name == "unknown text 1") return "m";
  if (name == "MENUNAME") return ".";
  if (name == "HYPERLINKBASE") return spec_.summaryInfo.hyperlinkBase;
  if (name == "FINGERPRINTGUID") return spec_.fingerprintGuid.value_or(derivedGuid(spec_, 1, false));
  if (name == "VERSIONGUID") return spec_.versionGuid.value_or(derivedGuid(spec_, 2, true));
  return "";
}

// The writer's own objects the header points at; every other handle is null.
std::pair<unsigned, std::uint64_t> Writer::variableHandle(std::string_view name) const {
  static constexpr std::pair<std::string_view, Own> kPointers[] = {
      {"CLAYER", oLayer0},
      {"TEXTSTYLE", oStandardStyle},
      {"CELTYPE", oByLayer},
      {"DIMSTYLE", oStandardDimstyle},
      {"CMLSTYLE", oStandardMlineStyle},
      {"DIMTXSTY", oStandardStyle},
      {"ACAD_GROUP dictionary", oGroupDict},
      {"ACAD_MLINESTYLE dictionary", oMlineStyleDict},
      {"layout dictionary", oLayoutDict},
      {"paper space block record", oPaperSpace},
      {"model space block record", oModelSpace},
      {"BYLAYER linetype", oByLayer},
      {"BYBLOCK linetype", oByBlock},
      {"CONTINUOUS linetype", oContinuous},
  };
  static constexpr std::pair<std::string_view, Own> kOwned[] = {
      {"block control", oBlockControl},
      {"layer control", oLayerControl},
      {"text style control", oStyleControl},
      {"linetype control", oLtypeControl},
      {"view control", oViewControl},
      {"UCS control", oUcsControl},
      {"viewport control", oVportControl},
      {"application control", oAppidControl},
      {"dimension style control", oDimstyleControl},
      {"viewport entity header control", oVpEntHdrControl},
      {"named object dictionary", oNamedDict},
  };
  for (const auto& [field, own] : kPointers)
    if (field == name) return {kHardPointer, h(own)};
  for (const auto& [field, own] : kOwned)
    if (field == name) return {kHardOwner, h(own)};
  return {kHardPointer, 0};
}

void Writer::writeVariables(BitWriter& d, std::span<const HeaderField> fields, const VariableSinks& sinks) const {
  const auto stamp = [&d](Stamp s) {
    d.writeBL(static_cast<std::uint32_t>(s.days));
    d.writeBL(static_cast<std::uint32_t>(s.milliseconds));
  };
  for (const HeaderField& field : fields) {
    if (!field.storedIn(release_)) continue;
    const std::string_view name = field.name;
    dwg::layout::FieldValue v = dwg::layout::newDrawingValue(name);
    if (name == "XCLIPFRAME" && apart()) v[0] = 2;
    switch (field.code) {
      case Code::kB: d.writeB(v[0] != 0); break;
      case Code::kBS: d.writeBS(static_cast<std::uint16_t>(v[0])); break;
      case Code::kBL: d.writeBL(static_cast<std::uint32_t>(static_cast<std::int64_t>(v[0]))); break;
      case Code::kBLL: d.writeBLL(static_cast<std::uint64_t>(v[0])); break;
      case Code::kBD: d.writeBD(v[0]); break;
      case Code::kRC: d.writeRC(static_cast<std::uint8_t>(v[0])); break;
      case Code::k2RD: d.write2RD(v[0], v[1]); break;
      case Code::k3BD: d.write3BD(v[0], v[1], v[2]); break;
      case Code::kTV: sinks.text(variableText(name)); break;
      case Code::kH:
        if (sinks.handle) {
          const auto [code, value] = variableHandle(name);
          sinks.handle(code, value);
        }
        break;
      case Code::kCMC: sinks.color(static_cast<std::uint16_t>(v[0])); break;
      case Code::kDate:
        switch (field.slot) {
          case Slot::kCreated: stamp({spec_.days, spec_.milliseconds}); break;
          case Slot::kUpdated: stamp(updated()); break;
          case Slot::kEditingTime: stamp(editingTime()); break;
          default: stamp(spec_.userTimer.value_or(editingTime())); break;
        }
        break;
      case Code::kHandseed: d.writeH(0, handseed()); break;  // in the data from R2007 on too
      case Code::kPlotStyleType: d.writeBS(0); break;         // by layer
      case Code::kPlotStyleHandle: break;                     // stored only by handle
    }
  }
}

// The header variables in their stored order, with the values of a new
// drawing in imperial units. From R2007 on the texts go to a string stream
// and the handles (all but HANDSEED) to a handle stream of their own.
Bytes Writer::headerSection() const {
  BitWriter d;
  BitWriter strings;
  BitWriter handleStream;
  BitWriter& hw = apart() ? handleStream : d;
  VariableSinks sinks;
  sinks.text = [&](std::string_view t) {
    if (apart()) {
      strings.writeTU(toUtf16(t));
    } else {
      d.writeTV(storedText(t));
    }
  };
  sinks.color = [&](std::uint16_t index) {
    if (release_ < Release::kR2004) {
      d.writeCMC(index);
    } else {
      d.writeBS(0);
      d.writeBL(index == kByLayer ? 0xC0000000u : index == kByBlock ? 0xC1000000u : 0xC3000000u | index);
      d.writeRC(0);
    }
  };
  sinks.handle = [&hw](unsigned code, std::uint64_t value) { hw.writeH(code, value); };
  writeVariables(d, dwg::layout::headerFields(), sinks);
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
