#pragma once

// Plans made from other plans, as a class of students makes drawings from
// each other's: moved geometry, entities pasted into a fresh drawing,
// renamed layers. Standard C++ only; nothing here throws.

#include <cstdint>
#include <string>

#include "dwgwrite/dwg_writer.h"

namespace veldra::dwgwrite {

// The geometry the writer gives an entity of `type` that has no numbers of
// its own, by its place in its space; empty for an unknown type.
std::vector<double> placedGeometry(std::string_view type, std::size_t index);

// Moves every point of the entity's geometry by (dx, dy, dz): a text's
// insertion and a polyline's vertices only in x and y; axes, radii, angles,
// scales and bulges stay. An entity without numbers gets the geometry the
// writer would place it at (its `index` in its space) first.
void moveEntity(EntitySpec& entity, std::size_t index, double dx, double dy, double dz);

// `fresh` with the top-level entities of `source` pasted in after its own:
// new handles from `firstHandle` upwards in the order of `source` (the
// entities of the blocks the pasted inserts need follow), moved by
// (dx, dy, dz), on layers of the same names (added to `fresh` when missing),
// in the spaces they were in. The identity, dates and editing time stay
// those of `fresh`. Handles already used in `fresh` are skipped.
DrawingSpec pasteInto(const DrawingSpec& fresh, const DrawingSpec& source, std::uint64_t firstHandle, double dx,
                      double dy, double dz);

// Renames a layer in the layer list and on every entity (names compared
// ignoring case); false when the plan has no such layer.
bool renameLayer(DrawingSpec& plan, const std::string& from, const std::string& to);

}  // namespace veldra::dwgwrite
