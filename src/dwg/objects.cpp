// AcDb:AcDbObjects: finds the block records of model space and of the
// layouts through the block table, then lists each space's entities in the
// order its block record keeps them: the owned-entity list from R2004 on, the
// chain from the first to the last entity before.

#include <algorithm>
#include <unordered_set>

#include "bit_reader.h"
#include "format.h"
#include "object_access.h"
#include "object_types.h"
#include "text_codec.h"

namespace veldra::dwg::detail {
namespace {

class ObjectsReader : ObjectAccess {
 public:
  ObjectsReader(const Sections& sections, Release release, const ClassTable& classes, const ObjectMap& map,
                std::vector<Damage>& damage)
      : ObjectAccess(sections, release, map, damage), classes_(classes), listed_(map.size(), false) {}

  Status read(std::vector<Entity>& entities) {
    std::uint64_t control = 0;
    if (Status s = findBlockControl(control); !s.ok()) return s;
    BlockTable table;
    if (Status s = readBlockControl(control, table); !s.ok()) return s;

    std::vector<std::pair<std::uint64_t, Space>> spaces{{table.modelSpace, Space::kModel}};
    if (table.paperSpace != 0) spaces.emplace_back(table.paperSpace, Space::kPaper);
    std::vector<BlockRecord> records;
    for (std::uint64_t entry : table.entries) {
      if (entry == table.modelSpace || entry == table.paperSpace) continue;
      // Null entries and records the map does not hold (erased blocks, as
      // dynamic and anonymous blocks leave) list nothing.
      if (entry == 0 || map_.count(entry) == 0) continue;
      BlockRecord record;
      if (Status s = readBlockRecord(entry, record, /*nameOnly=*/true); !s.ok()) return s;
      if (isLayoutName(record.name)) spaces.emplace_back(entry, Space::kPaper);
    }
    for (const auto& [handle, space] : spaces) {
      BlockRecord record;
      if (Status s = readBlockRecord(handle, record, /*nameOnly=*/false); !s.ok()) return s;
      if (Status s = listEntities(record, space, entities); !s.ok()) return s;
    }
    return Status::Ok();
  }

  // The entities of the named blocks in `wanted` that are neither model
  // space nor a layout, listed as a space's; a block that cannot be listed
  // is passed over. At most `limit` entities in all.
  void readBlocks(const std::unordered_set<std::string>& wanted, std::size_t limit,
                  std::vector<std::pair<std::string, std::vector<Entity>>>& blocks) {
    std::uint64_t control = 0;
    BlockTable table;
    if (!findBlockControl(control).ok() || !readBlockControl(control, table).ok()) return;
    std::size_t listed = 0;
    for (std::uint64_t entry : table.entries) {
      if (entry == 0 || entry == table.modelSpace || entry == table.paperSpace || map_.count(entry) == 0) continue;
      BlockRecord named;
      if (!readBlockRecord(entry, named, /*nameOnly=*/true, /*utf8=*/true).ok() || wanted.count(named.name) == 0)
        continue;
      BlockRecord record;
      if (!readBlockRecord(entry, record, /*nameOnly=*/false).ok() || isLayoutName(record.name)) continue;
      std::vector<Entity> entities;
      const std::size_t damageBefore = damage_.size();
      const bool whole = listEntities(record, Space::kModel, entities).ok();
      damage_.resize(damageBefore);  // a block's doubts are the picture's, not the drawing's
      if (!whole || entities.empty()) continue;
      listed += entities.size();
      if (listed > limit) return;
      blocks.emplace_back(named.name, std::move(entities));
    }
  }

 private:
  struct BlockTable {
    std::vector<std::uint64_t> entries;
    std::uint64_t modelSpace = 0;
    std::uint64_t paperSpace = 0;
  };

  struct BlockRecord {
    std::uint64_t handle = 0;
    std::string name;
    std::uint64_t firstEntity = 0;  // before R2004
    std::uint64_t lastEntity = 0;
    std::vector<std::uint64_t> owned;  // R2004 and later
  };

  static bool isLayoutName(const std::string& name) {
    static constexpr std::string_view kPrefix = "*PAPER_SPACE";
    if (name.size() < kPrefix.size()) return false;
    for (std::size_t i = 0; i < kPrefix.size(); ++i) {
      const char c = name[i];
      const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      if (upper != kPrefix[i]) return false;
    }
    return true;
  }

  Status findBlockControl(std::uint64_t& control) const {
    // The block table is handle 1 in every drawing seen; search when not.
    ObjectStart o;
    if (map_.count(1) && openObject(1, o).ok() && o.type == kBlockControlType) {
      control = 1;
      return Status::Ok();
    }
    std::vector<std::uint64_t> handles;
    handles.reserve(map_.size());
    for (const auto& entry : map_) handles.push_back(entry.first);
    std::sort(handles.begin(), handles.end());
    for (std::uint64_t handle : handles) {
      if (openObject(handle, o).ok() && o.type == kBlockControlType) {
        control = handle;
        return Status::Ok();
      }
    }
    return makeError(ErrorKind::kCorrupt, "the drawing has no block table", 0, std::string(kObjectsName));
  }

  Status readBlockControl(std::uint64_t handle, BlockTable& table) const {
    ObjectStart o;
    if (Status s = openObject(handle, o); !s.ok()) return s;
    std::int32_t reactors = 0;
    bool hasXdic = true;
    readObjectCommon(o, reactors, hasXdic);
    const std::int32_t count = o.reader.readBL();
    if (o.reader.failed()) return error(ErrorKind::kCorrupt, "block table cut short", handle);
    BitReader h = handleReader(o);
    if (count < 0 || static_cast<std::uint64_t>(count) * 8 > h.remaining())
      return error(ErrorKind::kCorrupt, "absurd block table size", handle);
    h.readH();  // owner: none
    if (Status s = skipReactors(h, reactors, hasXdic, handle); !s.ok()) return s;
    table.entries.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) table.entries.push_back(h.readH().resolve(handle));
    table.modelSpace = h.readH().resolve(handle);
    table.paperSpace = h.readH().resolve(handle);
    if (h.failed()) return error(ErrorKind::kCorrupt, "block table cut short", handle);
    return Status::Ok();
  }

  // The record's name and, unless `nameOnly`, the entities it lists. The
  // name has '?' for each letter beyond ASCII unless `utf8`.
  Status readBlockRecord(std::uint64_t handle, BlockRecord& record, bool nameOnly, bool utf8 = false) const {
    ObjectStart o;
    if (Status s = openObject(handle, o); !s.ok()) return s;
    if (o.type != kBlockHeaderType) return error(ErrorKind::kCorrupt, "block table entry is no block record", handle);
    record.handle = handle;
    std::int32_t reactors = 0;
    bool hasXdic = true;
    readObjectCommon(o, reactors, hasXdic);
    BitReader& r = o.reader;
    if (release_ >= Release::kR2007) {
      BitReader strings;
      if (openStringStream(data_, o.dataStart, o.handleStart, strings))
        record.name = utf8 ? utf16ToUtf8(strings.readTUUnits()) : strings.readTU();
    } else if (utf8) {
      const std::string bytes = r.readTVBytes();
      record.name =
          codePageToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), sections_.codePage);
    } else {
      record.name = r.readTV();
    }
    if (nameOnly) return r.failed() ? error(ErrorKind::kCorrupt, "block record cut short", handle) : Status::Ok();
    r.readB();   // 64-flag
    if (release_ <= Release::kR2004) r.readBS();  // xref index + 1
    r.readB();   // xdep
    r.readB();   // anonymous
    r.readB();   // has attributes
    const bool isXref = r.readB();
    const bool overlaid = r.readB();
    if (release_ >= Release::kR2000) r.readB();  // loaded
    std::int32_t owned = 0;
    if (release_ >= Release::kR2004 && !isXref && !overlaid) owned = r.readBL();
    if (r.failed()) return error(ErrorKind::kCorrupt, "block record cut short", handle);

    BitReader h = handleReader(o);
    h.readH();  // block table
    if (Status s = skipReactors(h, reactors, hasXdic, handle); !s.ok()) return s;
    h.readH();  // always null
    h.readH();  // BLOCK entity
    if (release_ >= Release::kR2004) {
      if (owned < 0 || static_cast<std::uint64_t>(owned) * 8 > h.remaining())
        return error(ErrorKind::kCorrupt, "absurd entity count in block record", handle);
      record.owned.reserve(static_cast<std::size_t>(owned));
      for (std::int32_t i = 0; i < owned; ++i) record.owned.push_back(h.readH().resolve(handle));
    } else if (!isXref && !overlaid) {
      record.firstEntity = h.readH().resolve(handle);
      record.lastEntity = h.readH().resolve(handle);
    }
    if (h.failed()) return error(ErrorKind::kCorrupt, "block record references cut short", handle);
    return Status::Ok();
  }

  // The class name of an entity, as long as the class list lives.
  Status className(const ObjectStart& o, std::string_view& name) const {
    if (o.type >= kFirstClassType) {
      const auto it = classes_.find(o.type);
      if (it == classes_.end()) return error(ErrorKind::kCorrupt, "entity of a class the class list lacks", o.handle);
      // A nameless class would list the entity with no kind at all.
      if (it->second.cppName.empty())
        return error(ErrorKind::kCorrupt, "entity of a class the class list gives no name", o.handle);
      name = it->second.cppName;
      return Status::Ok();
    }
    name = fixedEntityName(o.type);
    if (name.empty()) return error(ErrorKind::kCorrupt, "space lists an object that is no entity", o.handle);
    return Status::Ok();
  }

  Status listEntities(const BlockRecord& record, Space space, std::vector<Entity>& entities) {
    if (release_ >= Release::kR2004) {
      // At most what the map holds, whatever a damaged list claims.
      entities.reserve(entities.size() + std::min(record.owned.size(), map_.size()));
      // The list is in the order the handles were given out as a rule, so
      // the next entity is most often the map's next entry.
      auto next = map_.begin();
      for (std::uint64_t handle : record.owned) {
        const auto it = next != map_.end() && next->first == handle ? next : map_.find(handle);
        if (it == map_.end()) return error(ErrorKind::kCorrupt, "object is not in the object map", handle);
        next = it + 1;
        if (!markListed(it)) return error(ErrorKind::kCorrupt, "entity listed twice", handle);
        ObjectStart o;
        if (Status s = openObject(it, o); !s.ok()) return s;
        std::string_view name;
        if (Status s = className(o, name); !s.ok()) return s;
        entities.push_back(Entity{std::string(name), handle, space});
      }
      return Status::Ok();
    }
    // Before R2004: follow the chain of next-entity links.
    std::uint64_t handle = record.firstEntity;
    if (handle == 0 && record.lastEntity != 0) noteShortChain(record);
    while (handle != 0) {
      const auto it = map_.find(handle);
      if (it == map_.end()) return error(ErrorKind::kCorrupt, "object is not in the object map", handle);
      if (!markListed(it)) return error(ErrorKind::kCorrupt, "entity chain runs in a loop", handle);
      ObjectStart o;
      if (Status s = openObject(it, o); !s.ok()) return s;
      std::string_view name;
      if (Status s = className(o, name); !s.ok()) return s;
      entities.push_back(Entity{std::string(name), handle, space});
      if (handle == record.lastEntity) break;
      std::uint64_t next = 0;
      if (Status s = nextEntity(o, next); !s.ok()) return s;
      if (next == 0 && record.lastEntity != 0) noteShortChain(record);
      handle = next;
    }
    return Status::Ok();
  }

  // False when the entity at `it` in the object map was listed before.
  bool markListed(ObjectMap::const_iterator it) {
    const auto index = static_cast<std::size_t>(it - map_.begin());
    if (listed_[index]) return false;
    listed_[index] = true;
    return true;
  }

  // The entities after the chain's end are lost, so the space's list is doubtful.
  void noteShortChain(const BlockRecord& record) const {
    const auto it = map_.find(record.handle);
    damage_.push_back({std::string(kObjectsName), it == map_.end() ? 0 : it->second,
                        "the entity chain of block " + handleText(record.handle) + " ends before its last entity " +
                            handleText(record.lastEntity)});
  }

  // The common entity data of R13-R2000 up to the next-entity link.
  Status nextEntity(ObjectStart& o, std::uint64_t& next) const {
    BitReader& r = o.reader;
    if (r.readB()) {  // graphics present
      const std::uint64_t size = r.readRL();
      r.skip(size * 8);
    }
    if (release_ <= Release::kR14) o.handleStart = o.dataStart + r.readRL();
    const std::uint8_t mode = r.readBB();
    const std::int32_t reactors = r.readBL();
    bool byLayerLinetype = true;
    if (release_ <= Release::kR14) byLayerLinetype = r.readB();
    const bool noLinks = r.readB();
    if (r.failed()) return error(ErrorKind::kCorrupt, "entity data cut short", o.handle);
    if (noLinks) {
      next = o.handle + 1;
      return Status::Ok();
    }
    BitReader h = handleReader(o);
    if (mode == 0) h.readH();  // owner
    if (Status s = skipReactors(h, reactors, true, o.handle); !s.ok()) return s;
    if (release_ <= Release::kR14) {
      h.readH();                         // layer
      if (!byLayerLinetype) h.readH();   // linetype
    }
    h.readH();  // previous entity
    next = h.readH().resolve(o.handle);
    if (h.failed()) return error(ErrorKind::kCorrupt, "entity links cut short", o.handle);
    return Status::Ok();
  }

  const ClassTable& classes_;
  std::vector<bool> listed_;  // by place in the object map
};

}  // namespace

Status readEntities(const Sections& sections, Release release, const ClassTable& classes, const ObjectMap& map,
                    std::vector<Entity>& entities, std::vector<Damage>& damage) {
  return ObjectsReader(sections, release, classes, map, damage).read(entities);
}

void readBlockContents(const Sections& sections, Release release, const ClassTable& classes, const ObjectMap& map,
                       const std::vector<Entity>& entities, const std::vector<EntityGeometry>& geometry,
                       std::vector<BlockContents>& out) {
  // The blocks the references name, then those their blocks name, a few
  // levels deep. What goes wrong here spoils a picture at most: no damage
  // is kept.
  std::vector<Damage> damage;
  std::unordered_set<std::string> wanted, seen;
  auto want = [&](const std::vector<std::string>& kinds, const std::vector<EntityGeometry>& g) {
    for (std::size_t i = 0; i < kinds.size() && i < g.size(); ++i)
      if ((kinds[i] == "AcDbBlockReference" || kinds[i] == "AcDbMInsertBlock") && g[i].text && seen.insert(*g[i].text).second)
        wanted.insert(*g[i].text);
  };
  std::vector<std::string> kinds;
  for (const auto& e : entities) kinds.push_back(e.className);
  want(kinds, geometry);
  std::size_t budget = kMaxBlockEntities;
  for (int depth = 0; depth < 8 && !wanted.empty() && budget > 0; ++depth) {
    std::vector<std::pair<std::string, std::vector<Entity>>> blocks;
    ObjectsReader(sections, release, classes, map, damage).readBlocks(wanted, budget, blocks);
    wanted.clear();
    for (auto& [name, listed] : blocks) {
      BlockContents block;
      block.name = std::move(name);
      budget -= std::min(budget, listed.size());
      readGeometry(sections, release, map, listed, block.geometry, damage);
      for (auto& e : listed) block.kinds.push_back(std::move(e.className));
      want(block.kinds, block.geometry);
      out.push_back(std::move(block));
    }
  }
}

}  // namespace veldra::dwg::detail
