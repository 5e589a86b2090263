#pragma once

// Takes an R13-R2000 drawing apart into the parts its check values cover
// (header variables, class definitions, object map, objects) and puts it
// back together after one of them changed, with sizes, places and check
// values that fit again. A part that outgrew its place moves to the end of
// the file; everything else stays where it was. Used to alter drawings
// below their framing, as fuzzing and tests of the reader need.

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace veldra::dwgwrite {

struct R13Parts {
  std::vector<std::uint8_t> file;  // the drawing the parts came from
  std::vector<std::uint8_t> header;   // header variables: the data between size and CRC
  std::vector<std::uint8_t> classes;  // class definitions: likewise
  // The object map as stored: (handle, file offset of the object).
  std::vector<std::pair<std::uint64_t, std::uint64_t>> map;
};

// False when `file` is no R13-R2000 drawing whose locators, sections and
// object map blocks can be found.
bool splitR13(std::span<const std::uint8_t> file, R13Parts& out);

// The data of the object at `offset` in `parts.file`: the bytes after its
// size and before its CRC. False when no object fits there.
bool objectData(const R13Parts& parts, std::uint64_t offset, std::vector<std::uint8_t>& data);

// Stores `data` as the object at map entry `entry`: framed with its size and
// CRC, in its old place when it fits there, else at the end of the file.
void replaceObject(R13Parts& parts, std::size_t entry, std::span<const std::uint8_t> data);

// The (handle, offset) pairs of an object map as the format stores it; false
// when a block does not fit or an entry is cut short.
bool decodeObjectMap(std::span<const std::uint8_t> handles,
                     std::vector<std::pair<std::uint64_t, std::uint64_t>>& map);

// An object map as the format stores it, in handle order (the writer's own).
std::vector<std::uint8_t> encodeObjectMap(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& map);

// The drawing with the current header variables, class definitions and
// object map, every size and check value made to fit.
std::vector<std::uint8_t> joinR13(const R13Parts& parts);

}  // namespace veldra::dwgwrite
