#include "collect/problem_drawing.h"

namespace veldra {

namespace {

std::string where(const std::string& section, std::uint64_t offset) {
  if (section.empty()) return {};
  return " [" + section + " at " + std::to_string(offset) + "]";
}

}  // namespace

std::optional<ProblemDrawing> problemOf(const std::filesystem::path& path, std::uintmax_t fileSize,
                                        const veldra::dwg::Status& status, const veldra::dwg::Summary& summary) {
  using veldra::dwg::ErrorKind;
  ProblemDrawing problem{path, ProblemKind::kDamaged, {}, status.ok()};
  if (status.ok()) {
    if (summary.doubtful()) {
      const auto& first = summary.damage.front();
      problem.detail = first.message + where(first.section, first.offset);
      return problem;
    }
    for (const auto& entity : summary.entities) {
      if (!entity.hasHandle) {
        problem.kind = ProblemKind::kNoHandles;
        return problem;
      }
    }
    return std::nullopt;
  }
  problem.detail = status.message + where(status.section, status.offset);
  switch (status.kind) {
    case ErrorKind::kIo: problem.kind = ProblemKind::kCannotOpen; break;
    case ErrorKind::kNotDwg: problem.kind = fileSize == 0 ? ProblemKind::kEmpty : ProblemKind::kNotDrawing; break;
    case ErrorKind::kUnsupported: problem.kind = ProblemKind::kUnsupported; break;
    case ErrorKind::kNone:
    case ErrorKind::kTruncated:
    case ErrorKind::kCorrupt: problem.kind = ProblemKind::kDamaged; break;
  }
  return problem;
}

std::string problemReason(const ProblemDrawing& problem) {
  switch (problem.kind) {
    case ProblemKind::kEmpty: return "empty file";
    case ProblemKind::kCannotOpen: return "cannot be opened";
    case ProblemKind::kNotDrawing: return "not a drawing";
    case ProblemKind::kUnsupported: return "not read by this program: " + problem.detail;
    case ProblemKind::kDamaged:
      return (problem.read ? "damaged, its facts are doubtful: " : "damaged: ") + problem.detail;
    case ProblemKind::kNoHandles: return "stores no entity handles, so the handle check cannot judge it";
  }
  return problem.detail;
}

}  // namespace veldra
