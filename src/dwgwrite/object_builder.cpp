#include "dwgwrite/object_builder.h"

#include <string>

#include "dwgwrite/text_encoding.h"

namespace veldra::dwgwrite::detail {

std::string storedText(std::string_view utf8) {
  std::string out;
  if (toCodePage1252(utf8, out)) return out;
  return std::string(utf8);
}

void appendStringStream(BitWriter& data, const BitWriter& strings) {
  if (strings.bitCount() == 0) {
    data.writeB(false);
    return;
  }
  data.append(strings);
  const std::size_t size = strings.bitCount();
  if (size > 0x7FFF) {
    data.writeRS(static_cast<std::uint16_t>(size >> 15));
    data.writeRS(static_cast<std::uint16_t>((size & 0x7FFF) | 0x8000));
  } else {
    data.writeRS(static_cast<std::uint16_t>(size));
  }
  data.writeB(true);
}

ObjectBuilder::ObjectBuilder(Release release, std::uint16_t type, std::uint64_t handle)
    : release_(release), handle_(handle) {
  if (release_ >= Release::kR2010) {
    data_.writeOT(type);
  } else {
    data_.writeBS(type);
    if (release_ >= Release::kR2000) sizePlaceholder();
  }
  data_.writeH(0, handle);
  data_.writeBS(0);  // no extended entity data
}

void ObjectBuilder::sizePlaceholder() {
  sizePos_ = data_.bitCount();
  hasSizeField_ = true;
  data_.writeRL(0);  // bits before the handle stream, patched at the end
}

void ObjectBuilder::objectCommon(std::uint64_t owner, const std::vector<std::uint64_t>& reactors) {
  if (release_ <= Release::kR14) sizePlaceholder();
  data_.writeBL(static_cast<std::uint32_t>(reactors.size()));
  if (release_ >= Release::kR2004) data_.writeB(true);   // no extension dictionary
  if (release_ >= Release::kR2013) data_.writeB(false);  // no binary data
  handles_.writeH(kSoftPointer, owner);
  for (std::uint64_t reactor : reactors) handles_.writeH(kSoftPointer, reactor);
  if (release_ < Release::kR2004) handles_.writeH(kHardOwner, 0);
}

void ObjectBuilder::entityCommon(const EntityLinks& links, const EntityColour& colour) {
  const bool assumedLinks = links.mayAssume && release_ <= Release::kR2000 && links.previous != 0 &&
                            links.previous + 1 == handle_ && handle_ + 1 == links.next;
  data_.writeB(false);  // no graphic
  if (release_ <= Release::kR14) sizePlaceholder();
  data_.writeBB(links.mode);
  data_.writeBL(0);  // no reactors
  if (release_ >= Release::kR2004) data_.writeB(true);
  if (release_ >= Release::kR2013) data_.writeB(false);
  if (release_ <= Release::kR14) data_.writeB(true);     // linetype by layer
  if (release_ <= Release::kR2000) data_.writeB(assumedLinks);
  const bool book = release_ >= Release::kR2004 && colour.colourObject != 0;
  if (release_ < Release::kR2004) {
    data_.writeBS(colour.index);  // CMC
  } else {
    // ENC: the flags in the high byte, then what they announce.
    std::uint16_t flags = 0;
    if (colour.transparency != 0) flags |= 0x2000;
    if (book) {
      flags |= 0xC000;
      if (!colour.name.empty()) flags |= 0x0100;
      if (!colour.bookName.empty()) flags |= 0x0200;
    } else if (colour.rgb) {
      flags |= 0x8000;
    }
    // A book colour's low bits say which names follow; others keep the index.
    data_.writeBS(static_cast<std::uint16_t>(book ? flags : flags | (colour.index & 0x1FF)));
    if (colour.transparency != 0) data_.writeBL(colour.transparency);
    if (!book && colour.rgb) data_.writeBL(*colour.rgb);
    if (book && !colour.name.empty()) text(colour.name);
    if (book && !colour.bookName.empty()) text(colour.bookName);
  }
  data_.writeBD(1.0);                                    // linetype scale
  if (release_ >= Release::kR2000) {
    data_.writeBB(0);  // linetype by layer
    data_.writeBB(0);  // plot style by layer
  }
  if (release_ >= Release::kR2010) {
    data_.writeBB(0);  // material by layer
    data_.writeRC(0);  // shadows cast and received
    for (int i = 0; i < 3; ++i) data_.writeB(false);  // no visual styles
  }
  data_.writeBS(0);  // visible
  if (release_ >= Release::kR2000) data_.writeRC(29);  // lineweight by layer

  if (links.mode == 0) handles_.writeH(kSoftPointer, links.owner);
  if (release_ < Release::kR2004) handles_.writeH(kHardOwner, 0);  // no extension dictionary
  if (release_ <= Release::kR14) handles_.writeH(kHardPointer, links.layer);
  if (release_ <= Release::kR2000 && !assumedLinks) {
    handles_.writeH(kSoftPointer, links.previous);
    handles_.writeH(kSoftPointer, links.next);
  }
  if (book) handles_.writeH(kHardPointer, colour.colourObject);
  if (release_ >= Release::kR2000) handles_.writeH(kHardPointer, links.layer);
}

void ObjectBuilder::text(std::string_view utf8) {
  if (release_ >= Release::kR2010) {
    strings_.writeTU(toUtf16(utf8));
  } else {
    data_.writeTV(storedText(utf8));
  }
}

void ObjectBuilder::color(std::uint16_t index) {
  if (release_ < Release::kR2004) {
    data_.writeCMC(index);
    return;
  }
  // The index field stays 0; the RGB form's top byte says "by layer" (0xC0),
  // "by block" (0xC1) or "an index" (0xC3).
  const std::uint32_t rgb = index == kByLayer ? 0xC0000000u : index == kByBlock ? 0xC1000000u : 0xC3000000u | index;
  data_.writeBS(0);
  data_.writeBL(rgb);
  data_.writeRC(0);  // no colour or book name
}

void ObjectBuilder::thickness(double value) {
  if (release_ <= Release::kR14) {
    data_.writeBD(value);
  } else {
    data_.writeBT(value);
  }
}

void ObjectBuilder::extrusion(double x, double y, double z) {
  if (release_ <= Release::kR14) {
    data_.write3BD(x, y, z);
  } else {
    data_.writeBE(x, y, z);
  }
}

void ObjectBuilder::tableEntryName(std::string_view utf8) {
  text(utf8);
  data_.writeB(false);                                // not referenced by an external reference
  if (release_ <= Release::kR2004) data_.writeBS(0);  // external reference index + 1
  data_.writeB(false);                                // not dependent on an external reference
}

std::vector<std::uint8_t> ObjectBuilder::finish() {
  BitWriter framed;
  if (release_ >= Release::kR2010) {
    appendStringStream(data_, strings_);
    // The handle stream ends the object; its size counts padding to the
    // byte so that it starts right where the data ends.
    std::size_t handleBits = handles_.bitCount();
    handleBits += (8 - (data_.bitCount() + handleBits) % 8) % 8;
    data_.append(handles_);
    framed.writeMS(static_cast<std::uint32_t>(data_.bytes().size()));
    framed.writeUMC(handleBits);
  } else {
    if (hasSizeField_) data_.patchRL(sizePos_, static_cast<std::uint32_t>(data_.bitCount()));
    data_.append(handles_);
    framed.writeMS(static_cast<std::uint32_t>(data_.bytes().size()));
  }
  framed.append(data_);
  std::vector<std::uint8_t> out = framed.bytes();
  const std::uint16_t crc = crc16(out, kSectionCrcSeed);
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  return out;
}

}  // namespace veldra::dwgwrite::detail
