#include <gtest/gtest.h>

#include "collect/problem_drawing.h"

namespace veldra {
namespace {

using veldra::dwg::ErrorKind;

veldra::dwg::Status failure(ErrorKind kind, std::string message, std::string section = {}, std::uint64_t offset = 0) {
  return {kind, std::move(message), offset, std::move(section)};
}

TEST(ProblemDrawing, EachFailureOfTheReaderHasItsPlainReason) {
  const veldra::dwg::Summary none;
  const struct {
    veldra::dwg::Status status;
    std::uintmax_t size;
    ProblemKind kind;
    std::string reason;
  } cases[] = {
      {failure(ErrorKind::kNotDwg, "not a DWG drawing"), 0, ProblemKind::kEmpty, "empty file"},
      {failure(ErrorKind::kNotDwg, "not a DWG drawing"), 37, ProblemKind::kNotDrawing, "not a drawing"},
      {failure(ErrorKind::kIo, "cannot open the file"), 0, ProblemKind::kCannotOpen, "cannot be opened"},
      {failure(ErrorKind::kUnsupported, "unsupported DWG version AC1008 (older than R13)"), 406,
       ProblemKind::kUnsupported, "not read by this program: unsupported DWG version AC1008 (older than R13)"},
      {failure(ErrorKind::kTruncated, "header variables cut short", "AcDb:Header", 12), 900, ProblemKind::kDamaged,
       "damaged: header variables cut short [AcDb:Header at 12]"},
      {failure(ErrorKind::kCorrupt, "object map points outside the file"), 900, ProblemKind::kDamaged,
       "damaged: object map points outside the file"},
  };
  for (const auto& c : cases) {
    const auto problem = problemOf("/class/a.dwg", c.size, c.status, none);
    ASSERT_TRUE(problem.has_value()) << c.reason;
    EXPECT_EQ(problem->path, "/class/a.dwg");
    EXPECT_EQ(problem->kind, c.kind) << c.reason;
    EXPECT_FALSE(problem->read);
    EXPECT_EQ(problemReason(*problem), c.reason);
  }
}

// A drawing that was read is a problem only when its facts are doubtful:
// damage found while reading, or entities without handles.
TEST(ProblemDrawing, ReadDrawingsAreProblemsOnlyWhenTheirFactsAreDoubtful) {
  veldra::dwg::Summary summary;
  summary.entities = {{"AcDbLine", 0x2F, veldra::dwg::Space::kModel, true}};
  EXPECT_FALSE(problemOf("a.dwg", 900, {}, summary).has_value());

  summary.entities.push_back({"AcDbCircle", 0, veldra::dwg::Space::kModel, false});
  auto problem = problemOf("a.dwg", 900, {}, summary);
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(problem->kind, ProblemKind::kNoHandles);
  EXPECT_TRUE(problem->read);

  // Damage is told first, with where the first damage lies.
  summary.damage = {{"AcDb:Handles", 2048, "section checksum does not match"}, {"", 0, "later damage"}};
  problem = problemOf("a.dwg", 900, {}, summary);
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(problem->kind, ProblemKind::kDamaged);
  EXPECT_EQ(problemReason(*problem),
            "damaged, its facts are doubtful: section checksum does not match [AcDb:Handles at 2048]");
}

}  // namespace
}  // namespace veldra
