#pragma once

// The sections of a drawing that the summary needs, as each container family
// (R13-R2000, R2004 and later, R2007) hands them to the section readers, and
// the sections only the evidence needs, read when asked for.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "veldra/dwg/reader.h"

namespace veldra::dwg::detail {

// What reading one drawing may still cost, in bytes: starts from
// costBound(file size) less the file itself.
class CostBudget {
 public:
  explicit CostBudget(std::uint64_t fileSize) {
    const std::uint64_t bound = costBound(fileSize);
    left_ = bound > fileSize ? bound - fileSize : 0;
  }
  // False, spending nothing, when `bytes` is more than is left.
  bool spend(std::uint64_t bytes) {
    if (bytes > left_) return false;
    left_ -= bytes;
    return true;
  }
  std::uint64_t left() const { return left_; }

 private:
  std::uint64_t left_ = 0;
};

struct Sections {
  std::string version;           // "AC1021" etc.
  std::uint8_t maintenance = 0;  // maintenance release byte of the file header
  std::uint16_t codePage = 0;    // code page of 8-bit texts, as the file header numbers it
  std::vector<std::uint8_t> header;   // AcDb:Header, from its start sentinel on
  std::vector<std::uint8_t> classes;  // AcDb:Classes, from its start sentinel on
  std::vector<std::uint8_t> handles;  // AcDb:Handles (the object map)
  // AcDb:AcDbObjects. Object map offsets are relative to its start; for the
  // R13-R2000 family, whose offsets are file offsets, it is the whole file.
  // With `inPlace` set it stays empty and `objectsElsewhere` shows the bytes
  // instead: the file's own (R13-R2000), or the buffer the pages of R2004
  // and later are decompressed into when wanted (owned by `objectPages`).
  std::vector<std::uint8_t> objects;
  std::span<const std::uint8_t> objectsElsewhere;
  // The objects as the readers see them.
  std::span<const std::uint8_t> objectBytes() const {
    return objectsElsewhere.data() != nullptr ? objectsElsewhere : std::span<const std::uint8_t>(objects);
  }

  // Set by the caller before the container is read, when the file's bytes
  // outlive these sections: the objects need not be copied out of the file,
  // and R2004 and later decompress a page of the objects only once an object
  // in it is read (see `objectPages`). Otherwise every byte is in `objects`.
  bool inPlace = false;
  // Where pages of the objects are still compressed: fills the bytes
  // [begin, end) of the objects (clipped to their size) before they are
  // read. Bytes of a page not yet filled hold nothing to rely on.
  class PageSource {
   public:
    virtual ~PageSource() = default;
    virtual Status load(std::uint64_t begin, std::uint64_t end) = 0;
    // Every byte below this is filled already.
    std::uint64_t readyBelow() const { return readyBelow_; }

   protected:
    std::uint64_t readyBelow_ = 0;
  };
  std::shared_ptr<PageSource> objectPages;
  Status loadObjects(std::uint64_t begin, std::uint64_t end) const {
    return objectPages ? objectPages->load(begin, end) : Status::Ok();
  }
  // Whether the bytes below `end` may be read without loading: asked before
  // loadObjects() where most objects lie in pages filled already.
  bool objectsReadyBelow(std::uint64_t end) const { return !objectPages || end <= objectPages->readyBelow(); }
  // What the section readers may still spend on this drawing, in bytes,
  // once the container has taken its share of kMaxDrawingCost.
  std::uint64_t costLeft = kMaxDrawingCost;
  // Check values that failed while the container was read.
  std::vector<Damage> damage;

  // Set by the caller before the container is read: also read the sections
  // that only the evidence needs (R2004 and later keep them apart).
  bool wantEvidence = false;
  // One such section: absent, read, or found but unreadable (`status` says why).
  struct Optional {
    bool present = false;
    std::vector<std::uint8_t> bytes;
    Status status;
  };
  Optional summaryInfo;  // AcDb:SummaryInfo
  Optional preview;      // AcDb:Preview
};

// The R2007 (AC1021) container: Reed-Solomon coded, compressed pages.
Status readR2007Sections(std::span<const std::uint8_t> file, Sections& out);

}  // namespace veldra::dwg::detail
