#pragma once

// The parts of the writer that lay out one drawing: its own objects and
// their handles, the entity kinds, and the writer of the sections.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dwgwrite/bit_writer.h"
#include "dwgwrite/containers.h"
#include "dwgwrite/dwg_writer.h"
#include "dwgwrite/format.h"
#include "dwgwrite/object_builder.h"

namespace veldra::dwgwrite::detail {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr std::int32_t kMsPerDay = 86400000;
inline constexpr std::int32_t kDefaultEditingMs = 25 * 60 * 1000;
inline constexpr std::uint16_t kFirstClass = 500;

// Fixed object type numbers.
enum ObjectType : std::uint16_t {
  kText = 1,
  kBlock = 4,
  kEndblk = 5,
  kInsert = 7,
  kArc = 17,
  kCircle = 18,
  kLine = 19,
  kPoint = 27,
  kEllipse = 35,
  kDictionary = 42,
  kBlockControl = 48,
  kBlockHeader = 49,
  kLayerControl = 50,
  kLayer = 51,
  kStyleControl = 52,
  kStyle = 53,
  kLtypeControl = 56,
  kLtype = 57,
  kViewControl = 60,
  kUcsControl = 62,
  kVportControl = 64,
  kVport = 65,
  kAppidControl = 66,
  kAppid = 67,
  kDimstyleControl = 68,
  kDimstyle = 69,
  kVpEntHdrControl = 70,
  kMlineStyle = 73,
  kLwPolyline = 77,
};

// The writer's own objects, each with a handle of its own.
enum Own : std::size_t {
  oBlockControl,
  oLayerControl,
  oStyleControl,
  oLtypeControl,
  oViewControl,
  oUcsControl,
  oVportControl,
  oAppidControl,
  oDimstyleControl,
  oVpEntHdrControl,
  oNamedDict,
  oGroupDict,
  oMlineStyleDict,
  oLayoutDict,
  oModelLayout,
  oPaperLayout,
  oLayer0,
  oStandardStyle,
  oByBlock,
  oByLayer,
  oContinuous,
  oStandardDimstyle,
  oStandardMlineStyle,
  oAcadAppid,
  oActiveVport,
  oModelSpace,
  oPaperSpace,
  oModelBlock,
  oModelEndblk,
  oPaperBlock,
  oPaperEndblk,
  kOwnCount
};

enum class Kind { kLine, kCircle, kArc, kEllipse, kPoint, kLwPolyline, kText, kInsert };

struct EntityKind {
  std::string_view name;
  Kind kind;
  std::size_t numbers;  // how many numbers the geometry takes (a polyline: per vertex)
};

inline constexpr std::array<EntityKind, 8> kEntityKinds{{{"LINE", Kind::kLine, 6},
                                                  {"CIRCLE", Kind::kCircle, 4},
                                                  {"ARC", Kind::kArc, 6},
                                                  {"POINT", Kind::kPoint, 3},
                                                  {"TEXT", Kind::kText, 3},
                                                  {"ELLIPSE", Kind::kEllipse, 9},
                                                  {"LWPOLYLINE", Kind::kLwPolyline, 3},
                                                  {"INSERT", Kind::kInsert, 7}}};

std::string upper(std::string_view text);
const EntityKind* findKind(std::string_view name);
std::string hex(std::uint64_t value);
bool sameBits(double a, double b);

// ---- Handles

struct BlockHandles {
  std::uint64_t record = 0;
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
};

struct Handles {
  std::array<std::uint64_t, kOwnCount> own{};
  std::vector<std::uint64_t> layers;  // parallel to the plan's layers
  std::vector<BlockHandles> blocks;   // parallel to the plan's blocks
  std::uint64_t highest = 0;
};

using dwg::layout::Code;
using dwg::layout::HeaderField;
using dwg::layout::Slot;

// The header variables from the field named `first` to the one named `last`,
// both included, as the dimension style stores them too.
std::span<const HeaderField> variablesFrom(std::string_view first, std::string_view last);

// Where the header variables' texts, colours and handles go.
struct VariableSinks {
  std::function<void(std::string_view)> text;
  std::function<void(std::uint16_t)> color;
  std::function<void(unsigned, std::uint64_t)> handle;  // empty: the handles are written elsewhere
};

// TDINDWG and TDUPDATE as the writer stores them for a plan.
Stamp editingStamp(const DrawingSpec& plan);
Stamp updatedStamp(const DrawingSpec& plan);

// A GUID-shaped text drawn from the plan, so that the same plan gives the
// same file and different plans give different identities. The fingerprint
// (`withVersion` false) leaves the version and the saves out: the same
// drawing saved in another version keeps it.
std::string derivedGuid(const DrawingSpec& plan, std::uint64_t salt, bool withVersion);

// The objects and sections of one drawing, written once by build().
class Writer {
 public:
  Writer(const DrawingSpec& plan, Release release, const Handles& handles)
      : spec_(plan), release_(release), handles_(handles) {}

  Bytes build();

 private:
  std::uint64_t h(Own which) const { return handles_.own[which]; }
  bool paged() const { return release_ >= Release::kR2004; }
  bool apart() const { return release_ >= Release::kR2007; }
  std::uint16_t lwPolylineType() const {
    return release_ <= Release::kR14 ? kFirstClass : static_cast<std::uint16_t>(kLwPolyline);
  }
  std::uint64_t layerHandle(const std::string& name) const;
  std::uint64_t blockRecord(const std::string& name) const;
  std::uint64_t handseed() const { return spec_.handseed.value_or(handles_.highest + 1); }
  Stamp editingTime() const { return editingStamp(spec_); }
  Stamp updated() const { return updatedStamp(spec_); }

  Bytes headerSection() const;
  Bytes classesSection() const;
  Bytes framedSection(BitWriter& d, const BitWriter& strings, const BitWriter* handles, const Sentinel& start,
                      const Sentinel& end) const;
  Bytes summaryInfo() const;
  // Writes the variables of `fields` this release stores, each with a new
  // drawing's value or the one the writer gives it.
  void writeVariables(BitWriter& d, std::span<const HeaderField> fields, const VariableSinks& sinks) const;
  std::string variableText(std::string_view name) const;
  std::pair<unsigned, std::uint64_t> variableHandle(std::string_view name) const;

  void addObject(std::uint64_t handle, Bytes bytes) { objects_.push_back({handle, std::move(bytes)}); }
  void addControls();
  void addTables();
  void addDictionaries();
  void addBlockRecord(std::uint64_t record, std::string_view name, const BlockHandles& parts,
                      const std::vector<const EntitySpec*>& members, std::uint64_t layout);
  void addBlockEnds(const BlockHandles& parts, std::string_view name, unsigned mode);
  void addSpace(bool paper);
  void addBlocks();
  void addLayout(bool paper);
  void addEntity(const EntitySpec& entity, std::size_t index, const ObjectBuilder::EntityLinks& links);

  struct StoredObject {
    std::uint64_t handle;
    Bytes bytes;
  };

  const DrawingSpec& spec_;
  Release release_;
  const Handles& handles_;
  std::vector<StoredObject> objects_;
};

}  // namespace veldra::dwgwrite::detail
