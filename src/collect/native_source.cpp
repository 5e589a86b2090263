#include "collect/native_source.h"

#include <algorithm>
#include <system_error>

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

NativeDrawingSource::NativeDrawingSource(OffsetFunction offset, std::uintmax_t readAheadBytes)
    : readAheadBytes_(readAheadBytes),
      threads_(std::max(2u, processorCount())),
      offset_(std::move(offset)) {}

namespace {
// What reading a drawing may cost at most, judged from a look at its first
// bytes and its size: nothing for a file the reader refuses unread.
std::uintmax_t readingCost(const std::filesystem::path& drawing) {
  veldra::dwg::FileLook look;
  return veldra::dwg::lookAtFile(drawing, look).ok() ? look.cost : 0;
}

std::shared_ptr<const DrawingFacts> readFacts(const std::filesystem::path& drawing,
                                              const veldra::dwg::ReadRequest& request, const OffsetFunction& offset) {
  auto facts = std::make_shared<DrawingFacts>();
  facts->path = drawing;
  std::error_code ec;
  const auto size = std::filesystem::file_size(drawing, ec);
  facts->fileSize = ec ? 0 : size;
  // The collection reads DWG drawings only, whatever a file's name says.
  veldra::dwg::ReadRequest dwgOnly = request;
  dwgOnly.exchangeForm = false;
  facts->status = veldra::dwg::readDrawingFile(drawing, dwgOnly, facts->drawing);
  if (facts->read()) facts->created = localCreationDate(facts->drawing.summary, offset);
  return facts;
}
}  // namespace

std::shared_ptr<const DrawingFacts> NativeDrawingSource::read(const std::filesystem::path& drawing) {
  if (!ahead_.empty() && ahead_.front().drawing == drawing) {
    auto facts = ahead_.front().facts.get();
    bytesAhead_ -= ahead_.front().cost;
    ahead_.pop_front();
    launchAhead();
    return facts;
  }
  dropAhead();
  return readFacts(drawing, request_, offset_);
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
  const std::size_t window = std::max(2u, processorCount());
  while (ahead_.size() < window && nextToRead_ < toRead_.size()) {
    const auto& drawing = toRead_[nextToRead_];
    const std::uintmax_t cost = readingCost(drawing);
    if (!ahead_.empty() && bytesAhead_ + cost > readAheadBytes_) break;
    ++nextToRead_;
    bytesAhead_ += cost;
    ahead_.push_back({drawing, cost, threads_.run([drawing, request = request_, offset = offset_] {
                        return readFacts(drawing, request, offset);
                      })});
  }
}

void NativeDrawingSource::dropAhead() {
  // What no thread has begun is dropped; what one has, is waited for.
  threads_.dropWaiting();
  for (auto& ahead : ahead_) ahead.facts.wait();
  ahead_.clear();
  bytesAhead_ = 0;
  toRead_.clear();
  nextToRead_ = 0;
}

}  // namespace veldra
