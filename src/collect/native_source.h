#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "collect/drawing_source.h"
#include "collect/reading_threads.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace veldra {

// Local-time offset (seconds east of UTC) in force at a moment given in
// seconds since 1970-01-01 00:00 UTC.
using OffsetFunction = std::function<long(std::int64_t unixSeconds)>;

// The creation date as the record keeps it: local time. Drawings of
// format AC1015 and later store universal time, which is moved into the
// time zone in force at that instant; older ones store local time already.
double localCreationDate(const veldra::dwg::Summary& summary, const OffsetFunction& offset);

// Opens a drawing for the reader and looks at its first bytes: the system
// is asked what the file is and how large of the open file, not of its
// path again.
veldra::dwg::Status openDrawingFile(veldra::dwg::DrawingFile& file, const std::filesystem::path& drawing);

// The drawing source over our own DWG reader: a drawing's facts are its
// summary, and what the read request asks for besides, with its creation
// date in local time; a drawing that cannot be read gives the reader's
// account of why. Each drawing's file is opened once, for both a look at
// its first bytes and the reading. Drawings announced with readAhead() are
// opened and looked at in order, handed to worker threads in batches (one
// hand-over for several drawings), and handed out in order as they are
// asked for. What is read ahead is bounded by bytes as well: the drawings
// read ahead and not yet asked for may together cost at most
// `readAheadBytes`, each counted at what the reader may spend on it (the
// file and the data it may decompress to), so that a few large drawings are
// not held at once; a drawing that costs more than that is read ahead
// alone. A file the reader refuses at its first bytes (junk named *.dwg, a
// version not read, a file too large for one drawing) is never read whole
// and costs nothing.
class NativeDrawingSource : public DrawingSource {
 public:
  // Two drawings of any size may be read at once: one while the other is
  // collected.
  static constexpr std::uintmax_t kReadAheadBytes = 2 * veldra::dwg::kMaxDrawingCost;
  // The most drawings handed to a thread at once.
  static constexpr std::size_t kBatch = 16;

  explicit NativeDrawingSource(OffsetFunction offset = {}, std::uintmax_t readAheadBytes = kReadAheadBytes);
  ~NativeDrawingSource() override;

  std::shared_ptr<const DrawingFacts> read(const std::filesystem::path& drawing) override;
  void setReadRequest(const veldra::dwg::ReadRequest& request) override;
  void readAhead(const std::vector<std::filesystem::path>& drawings) override;

  // What the drawings read ahead and not yet asked for may cost at most now,
  // and how many they are.
  std::uintmax_t bytesAhead() const { return bytesAhead_; }
  std::size_t drawingsAhead() const { return drawingsAhead_; }

 private:
  struct Opened;
  struct Batch {
    std::size_t first = 0;  // in toRead_
    std::vector<std::uintmax_t> costs;
    std::size_t next = 0;   // the first not yet handed out
    std::future<FactsBatch> facts;
    FactsBatch got;        // once the batch is done
  };
  void launchAhead();
  void dropAhead();

  std::vector<std::filesystem::path> toRead_;
  std::size_t nextToRead_ = 0;
  // The next drawing to read ahead, opened already, when what is ahead
  // left it no room.
  std::unique_ptr<Opened> waiting_;
  std::deque<Batch> ahead_;
  std::size_t drawingsAhead_ = 0;
  std::uintmax_t readAheadBytes_;
  std::uintmax_t bytesAhead_ = 0;
  veldra::dwg::ReadRequest request_;
  // Reads ahead; its threads end with the source.
  ReadingThreads threads_;

  OffsetFunction offset_;
};

}  // namespace veldra
