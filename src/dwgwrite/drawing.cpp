// The objects of a drawing and the file that holds them.

#include <cctype>
#include <cstring>

#include "dwgwrite/drawing.h"
#include "dwgwrite/plan_edits.h"

namespace veldra::dwgwrite::detail {

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
    // The dimension values as the header variables store them, without
    // the handles, which go to the object's handles.
    VariableSinks sinks;
    sinks.text = [&o](std::string_view t) { o.text(t); };
    if (release_ <= Release::kR14) {
      sinks.color = [&o](std::uint16_t index) { o.data().writeBS(index); };
      writeVariables(o.data(), variablesFrom("DIMTOL", "DIMCLRT"), sinks);
      o.handles().writeH(kHardPointer, 0);                   // external reference block
      o.handles().writeH(kHardPointer, h(oStandardStyle));  // DIMTXSTY
    } else {
      sinks.color = [&o](std::uint16_t index) { o.color(index); };
      writeVariables(o.data(), variablesFrom("DIMPOST", "DIMLWE"), sinks);
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
               i + 1 == members.size() ? 0 : members[i + 1]->handle, layerHandle(members[i]->layer),
               spec_.assumeNeighbourLinks});
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
                 i + 1 == members.size() ? 0 : members[i + 1]->handle, layerHandle(members[i]->layer),
               spec_.assumeNeighbourLinks});
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
  o.entityCommon(links, entity.colour);
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

}  // namespace veldra::dwgwrite::detail
