#pragma once

// A drawing that could not be read, or whose facts cannot be trusted, told
// in plain words. Every pass that reads drawings reports these to the user;
// nothing about a drawing is dropped silently.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "veldra/dwg/reader.h"

namespace veldra {

enum class ProblemKind {
  kEmpty,        // a file of no bytes
  kCannotOpen,   // the file cannot be opened or read
  kNotDrawing,   // not a DWG drawing at all
  kUnsupported,  // a DWG version (or a form, such as encryption) this program does not read
  kDamaged,      // broken structure, or checks that fail: read only in part or not at all
  kNoHandles,    // an old drawing saved without entity handles
};

struct ProblemDrawing {
  std::filesystem::path path;  // as visited
  ProblemKind kind = ProblemKind::kDamaged;
  std::string detail;          // the reader's own words, with the section and offset when known
  bool read = false;           // the drawing was read, so its record holds facts, but doubtful ones
};

// The problem of a drawing from the reader's result; nothing for a sound one.
// `fileSize` tells an empty file from other unreadable ones.
std::optional<ProblemDrawing> problemOf(const std::filesystem::path& path, std::uintmax_t fileSize,
                                        const veldra::dwg::Status& status, const veldra::dwg::Summary& summary);

// "not a drawing", "damaged: header variables cut short [AcDb:Header at 12]"...
std::string problemReason(const ProblemDrawing& problem);

}  // namespace veldra
