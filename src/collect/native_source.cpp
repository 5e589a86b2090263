#include "collect/native_source.h"

#include <algorithm>

#include "platform/file_facts.h"
#include "platform/local_time.h"

namespace veldra {

namespace {
constexpr std::int64_t kUnixEpochDay = 2440588;  // Julian day number of 1970-01-01 (from midnight)
constexpr std::int64_t kDayMs = 86400000;
}  // namespace

double localCreationDate(const veldra::dwg::Summary& summary, const OffsetFunction& offset) {
  if (!veldra::dwg::storesUniversalTime(summary.version)) return summary.created.julian();
  std::int64_t totalMs = (static_cast<std::int64_t>(summary.created.days) - kUnixEpochDay) * kDayMs +
                         summary.created.milliseconds;
  const std::int64_t unixSeconds = totalMs >= 0 ? totalMs / 1000 : -((-totalMs + 999) / 1000);
  totalMs += static_cast<std::int64_t>(offset ? offset(unixSeconds) : localOffsetSeconds(unixSeconds)) * 1000;
  std::int64_t days = totalMs / kDayMs;
  std::int64_t ms = totalMs % kDayMs;
  if (ms < 0) {
    ms += kDayMs;
    --days;
  }
  veldra::dwg::StoredDate local;
  local.days = static_cast<std::int32_t>(days + kUnixEpochDay);
  local.milliseconds = static_cast<std::int32_t>(ms);
  return local.julian();
}

struct NativeDrawingSource::Opened {
  std::filesystem::path drawing;
  veldra::dwg::DrawingFile file;
  std::uintmax_t cost = 0;  // nothing for a file the reader refuses unread
};

namespace {
class OpenedBytes final : public veldra::dwg::DrawingFile::Bytes {
 public:
  explicit OpenedBytes(OpenedFile file) : file_(std::move(file)) {}
  std::optional<std::size_t> read(std::uint8_t* into, std::size_t count) override { return file_.read(into, count); }

 private:
  OpenedFile file_;
};
}  // namespace

veldra::dwg::Status openDrawingFile(veldra::dwg::DrawingFile& file, const std::filesystem::path& drawing) {
  OpenedFile opened(drawing);
  if (!opened.kind()) return file.open(nullptr, std::filesystem::file_type::not_found, 0);
  const FileKind kind = *opened.kind();
  std::unique_ptr<OpenedBytes> bytes;
  if (opened.isOpen()) bytes = std::make_unique<OpenedBytes>(std::move(opened));
  return file.open(std::move(bytes), kind.type, kind.size);
}

NativeDrawingSource::NativeDrawingSource(OffsetFunction offset, std::uintmax_t readAheadBytes)
    : readAheadBytes_(readAheadBytes),
      threads_(std::max(2u, processorCount())),
      offset_(std::move(offset)) {}

NativeDrawingSource::~NativeDrawingSource() { dropAhead(); }

namespace {

// Opens a drawing and looks at its first bytes.
template <typename Opened>
std::unique_ptr<Opened> openDrawing(const std::filesystem::path& drawing) {
  auto opened = std::make_unique<Opened>();
  opened->drawing = drawing;
  if (openDrawingFile(opened->file, drawing).ok()) opened->cost = opened->file.look().cost;
  return opened;
}

std::shared_ptr<const DrawingFacts> readOpened(const std::filesystem::path& drawing, veldra::dwg::DrawingFile& file,
                                               const veldra::dwg::ReadRequest& request, const OffsetFunction& offset) {
  auto facts = std::make_shared<DrawingFacts>();
  facts->path = drawing;
  facts->fileSize = file.look().size;
  // The collection reads DWG drawings only, whatever a file's name says.
  veldra::dwg::ReadRequest dwgOnly = request;
  dwgOnly.exchangeForm = false;
  facts->status = file.read(dwgOnly, facts->drawing);
  if (facts->read()) facts->created = localCreationDate(facts->drawing.summary, offset);
  return facts;
}

}  // namespace

std::shared_ptr<const DrawingFacts> NativeDrawingSource::read(const std::filesystem::path& drawing) {
  // Asked for as announced: the same text (a path that reads otherwise is
  // read directly).
  if (!ahead_.empty() && toRead_[ahead_.front().first + ahead_.front().next].native() == drawing.native()) {
    Batch& batch = ahead_.front();
    if (batch.next == 0) batch.got = batch.facts.get();
    auto facts = std::move(batch.got[batch.next]);
    bytesAhead_ -= batch.costs[batch.next];
    --drawingsAhead_;
    if (++batch.next == batch.costs.size()) ahead_.pop_front();
    launchAhead();
    return facts;
  }
  dropAhead();
  const auto opened = openDrawing<Opened>(drawing);
  return readOpened(drawing, opened->file, request_, offset_);
}

void NativeDrawingSource::setReadRequest(const veldra::dwg::ReadRequest& request) {
  // Drawings read ahead under another request are read again when asked for.
  dropAhead();
  request_ = request;
}

void NativeDrawingSource::readAhead(const std::vector<std::filesystem::path>& drawings) {
  dropAhead();
  toRead_ = drawings;
  nextToRead_ = 0;
  launchAhead();
}

void NativeDrawingSource::launchAhead() {
  // Each thread gets a share of what is left, a batch at most, so that a
  // few drawings still go to every thread; a batch is handed over once
  // there is room for the whole of it.
  const std::size_t threads = std::max(2u, processorCount());
  const std::size_t window = (threads + 1) * kBatch;
  while (nextToRead_ < toRead_.size()) {
    const std::size_t left = toRead_.size() - nextToRead_;
    const std::size_t share = std::min(kBatch, (left + threads - 1) / threads);
    if (drawingsAhead_ + share > window) return;
    auto opened = std::make_shared<std::vector<std::unique_ptr<Opened>>>();
    Batch batch;
    batch.first = nextToRead_;
    while (batch.costs.size() < share && nextToRead_ < toRead_.size()) {
      if (!waiting_) waiting_ = openDrawing<Opened>(toRead_[nextToRead_]);
      const std::uintmax_t cost = waiting_->cost;
      if (drawingsAhead_ + batch.costs.size() > 0 && bytesAhead_ + cost > readAheadBytes_) break;
      ++nextToRead_;
      bytesAhead_ += cost;
      batch.costs.push_back(cost);
      opened->push_back(std::move(waiting_));
    }
    if (batch.costs.empty()) return;
    const std::size_t count = batch.costs.size();
    batch.facts = threads_.run([opened, request = request_, offset = offset_] {
      FactsBatch facts;
      for (auto& drawing : *opened) {
        facts.push_back(readOpened(drawing->drawing, drawing->file, request, offset));
        drawing.reset();
      }
      return facts;
    });
    ahead_.push_back(std::move(batch));
    drawingsAhead_ += count;
    if (count < share) return;  // no room left for more
  }
}

void NativeDrawingSource::dropAhead() {
  // What no thread has begun is dropped; what one has, is waited for.
  threads_.dropWaiting();
  for (auto& batch : ahead_)
    if (batch.facts.valid()) batch.facts.wait();
  ahead_.clear();
  drawingsAhead_ = 0;
  bytesAhead_ = 0;
  waiting_.reset();
  toRead_.clear();
  nextToRead_ = 0;
}

}  // namespace veldra
