#pragma once

// The reader's entities and blocks as the sketch draws them and a block
// walk (block_walk.h) goes through them. Header only: the programs that read
// drawings include it; the sketch itself does not depend on the reader.

#include <span>
#include <vector>

#include "sketch/sketch.h"
#include "veldra/dwg/evidence.h"

namespace veldra::sketch {

// The drawing's top-level entities as shapes, in its order (model space
// first); geometry not read leaves a shape without numbers. They point into
// `drawing`, which must outlive them.
inline std::vector<Shape> shapesOf(const veldra::dwg::Drawing& drawing) {
  std::vector<Shape> shapes;
  const auto& entities = drawing.summary.entities;
  shapes.reserve(entities.size());
  for (std::size_t i = 0; i < entities.size(); ++i) {
    Shape shape;
    shape.kind = entities[i].className;
    shape.paperSpace = entities[i].space == veldra::dwg::Space::kPaper;
    if (i < drawing.geometry.size()) {
      shape.numbers = drawing.geometry[i].numbers;
      if (drawing.geometry[i].text) shape.text = *drawing.geometry[i].text;
    }
    shapes.push_back(shape);
  }
  return shapes;
}

// One Block per block the reader gave; `shapes` holds what they point into
// and must outlive them.
inline std::vector<Block> blocksOf(std::span<const veldra::dwg::BlockContents> blocks,
                                   std::vector<std::vector<Shape>>& shapes) {
  shapes.assign(blocks.size(), {});
  std::vector<Block> out;
  out.reserve(blocks.size());
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    const auto& block = blocks[k];
    for (std::size_t i = 0; i < block.kinds.size() && i < block.geometry.size(); ++i) {
      const auto& g = block.geometry[i];
      shapes[k].push_back({block.kinds[i], false, g.numbers, g.text ? std::string_view(*g.text) : std::string_view()});
    }
    out.push_back({block.name, shapes[k]});
  }
  return out;
}

}  // namespace veldra::sketch
