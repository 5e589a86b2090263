#include "dwgwrite/dwg_writer.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <string_view>
#include <system_error>

#include "dwgwrite/drawing.h"
#include "dwgwrite/r12_writer.h"
#include "dwgwrite/text_encoding.h"

namespace veldra::dwgwrite {
namespace detail {

bool writtenRelease(std::string_view version, Release& out) {
  Release release = Release::kR2000;
  if (!dwg::layout::releaseOf(version, release) || release == Release::kR2007) return false;
  out = release;
  return true;
}

}  // namespace detail

namespace {

using namespace detail;

constexpr std::uint16_t kCodePageAnsi1252 = 30;
constexpr std::size_t kMaxStoredText = 0xFFFE;  // a BS length, with room for the closing NUL

// ---- Checking a plan

std::string checkText(std::string_view what, std::string_view text, Release release, std::uint16_t codePage) {
  if (!isUtf8(text)) return std::string(what) + " is not UTF-8";
  if (release >= Release::kR2010) {
    if (toUtf16(text).size() > kMaxStoredText) return std::string(what) + " is too long";
    return "";
  }
  std::string stored;
  if (!toCodePage1252(text, stored)) return std::string(what) + " has a character code page 1252 lacks";
  if (codePage != kCodePageAnsi1252) {
    for (char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) return std::string(what) + " needs code page 30 (ANSI 1252)";
    }
  }
  if (stored.size() > kMaxStoredText) return std::string(what) + " is too long";
  return "";
}

std::string checkStamp(std::string_view what, const std::optional<Stamp>& stamp) {
  if (!stamp) return "";
  if (stamp->days < 0) return std::string(what) + " has a negative day number";
  if (stamp->milliseconds < 0 || stamp->milliseconds >= kMsPerDay)
    return "the milliseconds of " + std::string(what) + " are outside 0 to 86399999";
  return "";
}

std::string checkEntity(const EntitySpec& e, const DrawingSpec& plan, Release release, std::size_t blocksBefore,
                        std::set<std::uint64_t>& seen) {
  const EntityKind* kind = findKind(e.type);
  if (kind == nullptr) return "unknown entity type \"" + e.type + "\"";
  if (e.handle == 0) return "an entity has handle 0";
  if (e.handle == UINT64_MAX) return "handle FFFFFFFFFFFFFFFF leaves no next handle";
  if (!seen.insert(e.handle).second) return "handle " + hex(e.handle) + " is used twice";
  const std::string name = std::string(kind->name) + " " + hex(e.handle);
  if (!e.numbers.empty()) {
    const bool fits = kind->kind == Kind::kLwPolyline ? e.numbers.size() % 3 == 0 : e.numbers.size() == kind->numbers;
    if (!fits) return name + " has " + std::to_string(e.numbers.size()) + " numbers";
  }
  if (!e.layer.empty() && e.layer != "0") {
    bool known = false;
    for (const std::string& layer : plan.layers) known = known || upper(layer) == upper(e.layer);
    if (!known) return name + " is on layer \"" + e.layer + "\", which the plan does not list";
  }
  if (kind->kind == Kind::kInsert) {
    bool known = false;
    for (std::size_t b = 0; b < blocksBefore; ++b) known = known || upper(plan.blocks[b].name) == upper(e.text);
    if (!known) return name + " refers to block \"" + e.text + "\", which is not defined before it";
  }
  if (kind->kind == Kind::kText || kind->kind == Kind::kInsert) {
    if (std::string problem = checkText("the text of " + name, e.text, release, plan.codePage); !problem.empty())
      return problem;
  }
  return "";
}

std::string checkPlan(const DrawingSpec& plan, Release release) {
  if (plan.days < 0) return "the creation date has a negative day number";
  if (plan.milliseconds < 0 || plan.milliseconds >= kMsPerDay)
    return "the milliseconds of the creation date are outside 0 to 86399999";
  for (const auto& [what, stamp] : {std::pair{"the editing time", &plan.editingTime},
                                    std::pair{"the user timer", &plan.userTimer},
                                    std::pair{"the update date", &plan.updated}}) {
    if (std::string problem = checkStamp(what, *stamp); !problem.empty()) return problem;
  }
  std::set<std::string> layers{"0"};
  for (const std::string& layer : plan.layers) {
    if (layer.empty()) return "a layer has no name";
    if (!layers.insert(upper(layer)).second) return "layer \"" + layer + "\" is listed twice";
    if (std::string problem = checkText("layer \"" + layer + "\"", layer, release, plan.codePage); !problem.empty())
      return problem;
  }
  std::set<std::uint64_t> seen;
  for (const EntitySpec& e : plan.entities) {
    if (std::string problem = checkEntity(e, plan, release, plan.blocks.size(), seen); !problem.empty())
      return problem;
  }
  std::set<std::string> blocks;
  for (std::size_t b = 0; b < plan.blocks.size(); ++b) {
    const BlockSpec& block = plan.blocks[b];
    if (block.name.empty() || block.name[0] == '*') return "a block needs a name not starting with '*'";
    if (!blocks.insert(upper(block.name)).second) return "block \"" + block.name + "\" is defined twice";
    if (std::string problem = checkText("block \"" + block.name + "\"", block.name, release, plan.codePage);
        !problem.empty())
      return problem;
    for (const EntitySpec& e : block.entities) {
      if (std::string problem = checkEntity(e, plan, release, b, seen); !problem.empty()) return problem;
    }
  }
  for (const std::optional<std::string>* id : {&plan.fingerprintGuid, &plan.versionGuid}) {
    if (!*id) continue;
    for (char c : **id) {
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
        return "a GUID must be printable ASCII";
    }
    if ((*id)->size() > 255) return "a GUID is too long";
  }
  if (release >= Release::kR2004) {
    const SummaryInfoSpec& s = plan.summaryInfo;
    for (const std::string* field : {&s.title, &s.subject, &s.author, &s.keywords, &s.comments, &s.lastSavedBy,
                                     &s.revisionNumber, &s.hyperlinkBase}) {
      if (std::string problem = checkText("a summary text", *field, release, plan.codePage); !problem.empty())
        return problem;
    }
  } else if (release >= Release::kR2000) {
    if (std::string problem = checkText("the hyperlink base", plan.summaryInfo.hyperlinkBase, release, plan.codePage);
        !problem.empty())
      return problem;
  }
  if (plan.preview.format != PreviewFormat::kNone) {
    if (plan.preview.bytes.empty()) return "the preview has no bytes";
    if (plan.preview.format == PreviewFormat::kPng && release < Release::kR2004)
      return "a PNG preview needs AC1018 or later";
    if (plan.preview.bytes.size() > 0x10000000) return "the preview is too large";
  }
  return "";
}

}  // namespace

const std::vector<std::string>& knownEntityTypes() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const EntityKind& kind : kEntityKinds) out.emplace_back(kind.name);
    return out;
  }();
  return names;
}

std::string fingerprintGuidOf(const DrawingSpec& plan) {
  return plan.fingerprintGuid.value_or(derivedGuid(plan, 1, false));
}

std::string versionGuidOf(const DrawingSpec& plan) { return plan.versionGuid.value_or(derivedGuid(plan, 2, true)); }

const std::vector<std::string>& knownVersions() {
  static const std::vector<std::string> versions{"AC1012", "AC1014", "AC1015", "AC1018",
                                                 "AC1024", "AC1027", "AC1032"};
  return versions;
}

std::string writeDrawing(const DrawingSpec& plan, std::vector<std::uint8_t>& out) {
  out.clear();
  const auto& old = knownOldVersions();
  if (std::find(old.begin(), old.end(), plan.version) != old.end()) {
    // Checked as for R13, whose texts are in a code page too, then fitted
    // to what the old version can hold.
    OldDrawingSpec older;
    std::string problem = checkPlan(plan, Release::kR13);
    if (problem.empty()) problem = oldDrawingOf(plan, older);
    if (problem.empty()) out = writeOldDrawing(older);
    if (out.size() > UINT32_MAX) problem = "the drawing would exceed 4 GB";
    if (!problem.empty()) out.clear();
    return problem;
  }
  Release release{};
  if (!writtenRelease(plan.version, release)) return "unknown version \"" + plan.version + "\"";
  if (std::string problem = checkPlan(plan, release); !problem.empty()) return problem;
  std::set<std::uint64_t> used;
  Handles handles;
  const auto use = [&](const EntitySpec& e) {
    used.insert(e.handle);
    handles.highest = std::max(handles.highest, e.handle);
  };
  for (const EntitySpec& e : plan.entities) use(e);
  for (const BlockSpec& b : plan.blocks) {
    for (const EntitySpec& e : b.entities) use(e);
  }
  std::uint64_t candidate = 1;
  const auto next = [&]() {
    while (used.count(candidate) != 0) ++candidate;
    handles.highest = std::max(handles.highest, candidate);
    return candidate++;
  };
  for (std::uint64_t& handle : handles.own) handle = next();
  for (std::size_t i = 0; i < plan.layers.size(); ++i) handles.layers.push_back(next());
  for (std::size_t i = 0; i < plan.blocks.size(); ++i) {
    BlockHandles b;
    b.record = next();
    b.begin = next();
    b.end = next();
    handles.blocks.push_back(b);
  }
  Writer writer(plan, release, handles);
  out = writer.build();
  if (out.size() > UINT32_MAX) {
    out.clear();
    return "the drawing would exceed 4 GB";
  }
  return "";
}

std::string writeDrawingFile(const std::filesystem::path& file, const DrawingSpec& plan) {
  std::vector<std::uint8_t> bytes;
  if (std::string problem = writeDrawing(plan, bytes); !problem.empty()) return problem;
  std::filesystem::path temp = file;
  temp += ".tmp";
  {
    std::ofstream stream(temp, std::ios::binary | std::ios::trunc);
    if (!stream) return "cannot create " + temp.string();
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    stream.close();
    if (!stream) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return "cannot write " + temp.string();
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return "cannot replace " + file.string() + ": " + ec.message();
  }
  return "";
}

}  // namespace veldra::dwgwrite
