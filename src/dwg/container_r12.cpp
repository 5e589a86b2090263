// The container of drawings older than R13: a file header that holds the
// places of the entity sections and of the tables, then the header variables
// at fixed offsets. AC1.40 has no tables: its header counts the entities that
// follow it. The creation date is local time, as in R13 and R14; AC1.40,
// AC1.50 and AC2.10 store none.

#include <algorithm>
#include <optional>
#include <string>

#include "format.h"
#include "r12_format.h"
#include "text_codec.h"

namespace veldra::dwg::detail {
namespace {

// AC1.40
constexpr std::size_t kEarlyEntitiesEnd = 0x24;
constexpr std::size_t kEarlyEntityCount = 0x28;
constexpr std::size_t kEarlyHeaderSize = 0x202;

// AC1.50 and later
constexpr std::size_t kEntitiesStart = 0x14;
constexpr std::size_t kEntitiesEnd = 0x18;
constexpr std::size_t kBlocksStart = 0x1C;
constexpr std::size_t kBlocksSize = 0x20;
constexpr std::size_t kExtrasStart = 0x24;
constexpr std::size_t kExtrasSize = 0x28;
constexpr std::uint32_t kSizeMask = 0x00FFFFFF;
constexpr std::size_t kBlockTable = 0x2C;
constexpr std::size_t kLayerTable = 0x36;
constexpr std::size_t kTablesEnd = 0x5E;
constexpr std::size_t kCreated = 0x31F;  // TDCREATE, then TDUPDATE, TDINDWG and TDUSRTIMER: days and milliseconds
constexpr std::size_t kUpdated = 0x327;
constexpr std::size_t kEditingTime = 0x32F;
constexpr std::size_t kUserTimer = 0x337;
constexpr std::size_t kDatesEnd = 0x33F;
constexpr std::size_t kCodePage = 0x3F9;    // R11 on
constexpr std::size_t kHandling = 0x4EC;    // R10 on: HANDLING, then HANDSEED (eight bytes, most significant first)
constexpr std::size_t kHandseed = 0x4EE;
constexpr std::size_t kHandseedEnd = 0x4F6;
constexpr std::size_t kTableNameSize = 32;
constexpr std::int32_t kMillisecondsPerDay = 86400000;

constexpr const char* kFileHeader = "file header";

std::uint16_t le16(std::span<const std::uint8_t> data, std::size_t at) {
  return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

// How much of the header a release must hold for what this reader takes from it.
std::size_t headerNeeded(OldRelease release) {
  if (release >= OldRelease::kR10) return kHandseedEnd;
  if (release >= OldRelease::kR2_4) return kDatesEnd;
  return kTablesEnd;
}

StoredDate dateAt(std::span<const std::uint8_t> file, std::size_t at) {
  return StoredDate{static_cast<std::int32_t>(le32(file, at)), static_cast<std::int32_t>(le32(file, at + 4))};
}

bool validDate(const StoredDate& date) {
  return date.days >= 0 && date.milliseconds >= 0 && date.milliseconds < kMillisecondsPerDay;
}

// The names of a table's entries, each a name of 32 bytes after a flag byte.
// Entries outside the file get no name; the entities that use them say so.
std::vector<std::string> tableNames(std::span<const std::uint8_t> file, std::size_t table, std::uint16_t codePage) {
  std::vector<std::string> names;
  const std::uint16_t itemSize = le16(file, table);
  const std::uint16_t items = le16(file, table + 2);
  const std::uint64_t start = le32(file, table + 6);
  if (itemSize < 1 + kTableNameSize) return names;
  for (std::uint16_t i = 0; i < items; ++i) {
    const std::uint64_t at = start + static_cast<std::uint64_t>(i) * itemSize + 1;
    if (at + kTableNameSize > file.size()) break;
    const auto field = file.subspan(static_cast<std::size_t>(at), kTableNameSize);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    names.push_back(codePageToUtf8(std::span(field.begin(), end), codePage));
  }
  return names;
}

struct Known {
  std::string_view version;
  OldRelease release;
};

constexpr Known kKnown[] = {
    {"AC1.40", OldRelease::kR1_4}, {"AC1.50", OldRelease::kR2_0}, {"AC2.10", OldRelease::kR2_1},
    {"AC1001", OldRelease::kR2_4},
    {"AC1002", OldRelease::kR2_5}, {"AC1003", OldRelease::kR2_6}, {"AC1004", OldRelease::kR9},
    {"AC1006", OldRelease::kR10},  {"AC1009", OldRelease::kR11},
};

}  // namespace

bool oldReleaseOf(std::string_view version, OldRelease& out) {
  for (const Known& known : kKnown) {
    if (known.version == version) {
      out = known.release;
      return true;
    }
  }
  return false;
}

bool isEarlySignature(std::span<const std::uint8_t> data) {
  const auto digit = [](std::uint8_t c) { return c >= '0' && c <= '9'; };
  return data.size() >= 6 && data[0] == 'A' && data[1] == 'C' && digit(data[2]) && data[3] == '.' && digit(data[4]) &&
         digit(data[5]);
}

Status readOldDrawing(std::span<const std::uint8_t> file, OldRelease release, const ReadRequest& request,
                      Drawing& out) {
  Summary& summary = out.summary;
  OldLayout layout;
  layout.release = release;
  std::uint16_t codePage = kCodePageUndefined;

  if (release == OldRelease::kR1_4) {
    if (file.size() < kEarlyHeaderSize)
      return makeError(ErrorKind::kTruncated, "file header cut short", file.size(), kFileHeader);
    const std::uint64_t end = le32(file, kEarlyEntitiesEnd);
    if (end < kEarlyHeaderSize)
      return makeError(ErrorKind::kCorrupt, "entity list ends before the header does", kEarlyEntitiesEnd, kFileHeader);
    layout.entitiesStart = kEarlyHeaderSize;
    layout.entitiesEnd = std::min<std::uint64_t>(end, file.size());
    layout.entityCount = le16(file, kEarlyEntityCount);
    if (end > file.size())
      summary.damage.push_back(Damage{"entities", file.size(), "entity list cut short at the end of the file"});
  } else {
    const std::size_t needed = headerNeeded(release);
    if (file.size() < needed)
      return makeError(ErrorKind::kTruncated, "header variables cut short", file.size(), kFileHeader);
    const std::uint64_t start = le32(file, kEntitiesStart);
    const std::uint64_t end = le32(file, kEntitiesEnd);
    if (start < needed)
      return makeError(ErrorKind::kCorrupt, "entity section starts inside the header", kEntitiesStart, kFileHeader);
    if (start > end || start > file.size())
      return makeError(ErrorKind::kCorrupt, "entity section lies outside the file", kEntitiesStart, kFileHeader);
    layout.entitiesStart = start;
    layout.entitiesEnd = std::min<std::uint64_t>(end, file.size());
    if (end > file.size())
      summary.damage.push_back(Damage{"entities", file.size(), "entity section cut short at the end of the file"});
    // What lies past the end of the file is read as empty, and the drawing
    // is told as cut short: the entities and names that were there are lost.
    const std::uint64_t extras = le32(file, kExtrasStart);
    const std::uint64_t extrasSize = le32(file, kExtrasSize) & kSizeMask;
    layout.extrasStart = std::min<std::uint64_t>(extras, file.size());
    layout.extrasEnd = std::min<std::uint64_t>(extras + extrasSize, file.size());
    if (extrasSize > 0 && extras + extrasSize > file.size())
      summary.damage.push_back(
          Damage{"extra entities", file.size(), "extra entity section cut short at the end of the file"});
    const std::uint64_t blocks = le32(file, kBlocksStart);
    const std::uint64_t blocksSize = le32(file, kBlocksSize) & kSizeMask;
    if (blocksSize > 0 && blocks + blocksSize > file.size())
      summary.damage.push_back(
          Damage{"block entities", file.size(), "block entity section cut short at the end of the file"});
    for (const auto& [table, name] : {std::pair{kBlockTable, "block table"}, std::pair{kLayerTable, "layer table"}}) {
      const std::uint64_t tableEnd =
          le32(file, table + 6) + std::uint64_t{le16(file, table)} * le16(file, table + 2);
      if (tableEnd > file.size())
        summary.damage.push_back(Damage{name, file.size(), std::string(name) + " cut short at the end of the file"});
    }
    if (release >= OldRelease::kR2_4) {
      summary.created = dateAt(file, kCreated);
      if (!validDate(summary.created))
        return makeError(ErrorKind::kCorrupt, "creation date out of range", kCreated, kFileHeader);
    }
    if (release >= OldRelease::kR11) codePage = le16(file, kCodePage);
  }

  std::vector<OldListed> listed;
  listOldEntities(file, layout, request.geometry, listed, summary.damage);
  summary.entities.reserve(listed.size());
  for (const OldListed& item : listed) {
    Entity entity;
    entity.className = item.className;
    entity.handle = item.entity.handle;
    entity.hasHandle = item.entity.hasHandle;
    entity.space = item.entity.paper ? Space::kPaper : Space::kModel;
    summary.entities.push_back(std::move(entity));
  }

  if (request.evidence && release >= OldRelease::kR2_4) {
    Evidence& evidence = out.evidence;
    const std::pair<std::size_t, std::optional<StoredDate>*> dates[] = {
        {kUpdated, &evidence.updated}, {kEditingTime, &evidence.editingTime}, {kUserTimer, &evidence.userTimer}};
    for (const auto& [at, target] : dates) {
      const StoredDate date = dateAt(file, at);
      if (validDate(date)) {
        *target = date;
      } else {
        summary.damage.push_back(Damage{kFileHeader, at, "header date out of range"});
      }
    }
    // HANDSEED means something only while HANDLING is on.
    if (release >= OldRelease::kR10 && le16(file, kHandling) != 0) {
      std::uint64_t seed = 0;
      for (std::size_t i = 0; i < 8; ++i) seed = (seed << 8) | file[kHandseed + i];
      evidence.handseed = seed;
    }
  }

  if (request.geometry) {
    std::vector<std::string> layers;
    std::vector<std::string> blocks;
    if (release != OldRelease::kR1_4) {
      layers = tableNames(file, kLayerTable, codePage);
      blocks = tableNames(file, kBlockTable, codePage);
    }
    out.geometry.assign(listed.size(), EntityGeometry{});
    for (std::size_t i = 0; i < listed.size(); ++i) {
      const Status s = readOldGeometry(listed[i], release, layers, blocks, codePage, out.geometry[i]);
      if (!s.ok()) {
        out.geometry[i] = EntityGeometry{};
        summary.damage.push_back(Damage{s.section, s.offset, "geometry not read: " + s.message});
      }
    }
  }
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
