#pragma once

// Opening one object of AcDb:AcDbObjects by its handle: the common start of
// every object (sizes, type, handle, extended data) and the common data of
// non-entities, shared by the readers of the entity lists and of geometry.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bit_reader.h"
#include "format.h"

namespace veldra::dwg::detail {

// The part every object starts with, and where its handle references begin.
struct ObjectStart {
  std::uint16_t type = 0;
  std::uint64_t handle = 0;
  std::uint64_t dataStart = 0;    // first bit after the object's size fields
  std::uint64_t handleStart = 0;  // first bit of the handle references
  std::uint64_t endBit = 0;
  BitReader reader;               // positioned after the extended data
};

class ObjectAccess {
 public:
  // An object whose CRC fails is told in `damage`, once however often it is
  // opened and by whichever reader.
  ObjectAccess(const Sections& sections, Release release, const ObjectMap& map, std::vector<Damage>& damage)
      : data_(sections.objectBytes()), sections_(sections), release_(release), map_(map), damage_(damage) {}

  // Reads the common start of the object with `handle`: sizes, type, handle
  // and extended data. Every byte of the object, and the CRC after it, is
  // then in memory (pages of the objects are decompressed as needed), and
  // the CRC is checked.
  Status openObject(std::uint64_t handle, ObjectStart& out) const;
  // The same for the object map's entry `at`, found already (not the end).
  Status openObject(ObjectMap::const_iterator at, ObjectStart& out) const;

  // The common data of a non-entity up to its own fields; returns the
  // reactor count and whether an extension dictionary handle is stored.
  void readObjectCommon(ObjectStart& o, std::int32_t& reactors, bool& hasXdic) const;

  // A reader over the object's handle references (failed when they cannot lie
  // inside the object).
  BitReader handleReader(const ObjectStart& o) const;

  // A reader over the object's string stream (R2007 and later); failed when
  // the object has none.
  BitReader stringReader(const ObjectStart& o) const;

  Status skipReactors(BitReader& h, std::int32_t reactors, bool hasXdic, std::uint64_t handle) const;

  // A failure at the object with `handle`, placed at its offset.
  Status error(ErrorKind kind, const std::string& what, std::uint64_t handle) const;

 protected:
  std::span<const std::uint8_t> data_;
  const Sections& sections_;
  Release release_;
  const ObjectMap& map_;
  std::vector<Damage>& damage_;

 private:
  void checkCrc(std::uint64_t handle, std::uint64_t start, std::uint64_t end) const;
};

}  // namespace veldra::dwg::detail
