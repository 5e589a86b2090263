#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <random>
#include <system_error>
#include <thread>

#include "collect/drawing_record.h"
#include "collect/native_source.h"
#include "collect/problem_drawing.h"
#include "collect/reading_threads.h"
#include "support/temp_dir.h"
#include "dwgwrite/r12_writer.h"

namespace veldra {
namespace {

TEST(NativeSource, UniversalDatesMoveIntoTheLocalZoneOlderOnesStay) {
  veldra::dwg::Summary summary;
  summary.version = "AC1015";
  summary.created = {2453585, 82800000};  // 23:00 UTC
  EXPECT_DOUBLE_EQ(localCreationDate(summary, [](std::int64_t) { return 3600L; }), 2453586.0);
  EXPECT_DOUBLE_EQ(localCreationDate(summary, [](std::int64_t) { return -5 * 3600L; }), 2453585 + 18.0 / 24);
  summary.created = {2453585, 1000};
  EXPECT_DOUBLE_EQ(localCreationDate(summary, [](std::int64_t) { return -3600L; }), 2453584 + 82801000 / 86400000.0);
  // The offset is asked for the drawing's own instant (seconds since 1970).
  std::int64_t asked = -1;
  localCreationDate(summary, [&](std::int64_t t) { asked = t; return 0L; });
  EXPECT_EQ(asked, (2453585LL - 2440588) * 86400 + 1);
  // Older versions store local time; the earliest ones have a point among
  // their digits, which must not sort them after AC1015.
  for (const char* older : {"AC1014", "AC1009", "AC2.10"}) {
    summary.version = older;
    EXPECT_DOUBLE_EQ(localCreationDate(summary, [](std::int64_t) { return 3600L; }), summary.created.julian()) << older;
  }
}

// The record keeps the handles of the chosen class only, matched on the
// upper-cased class name against the type as given; the date is the one the
// source gives, whatever the order of the entities.
TEST(DrawingRecord, KeepsHandlesOfTheChosenClassOnly) {
  DrawingFacts facts;
  facts.created = 2453585.68746528;
  std::vector<veldra::dwg::Entity> entities;
  const std::pair<const char*, std::uint64_t> drawn[] = {
      {"AcDbLine", 0x2F}, {"AcDbPolyline", 0x40}, {"AcDbLine", 0x30}, {"AcDbCircle", 0x41}, {"ACDBLINE", 0x31}};
  for (const auto& [name, handle] : drawn) {
    veldra::dwg::Entity entity;
    entity.className = name;
    entity.handle = handle;
    entities.push_back(entity);
  }
  std::mt19937 random(11);
  for (int round = 0; round < 5; ++round) {
    std::shuffle(entities.begin(), entities.end(), random);
    facts.drawing.summary.entities = entities;
    std::string expected;
    for (const auto& entity : entities)
      if (entity.className == "AcDbLine" || entity.className == "ACDBLINE")
        expected += veldra::dwg::handleText(entity.handle) + "$";
    EXPECT_EQ(drawingRecordLine(facts, "Alice, part 1.dwg", "LINE"),
              "\"ALICE_ PART 1,2453585.68746528," + expected + ",END\"\r\n");
    EXPECT_EQ(drawingRecordLine(facts, "Alice, part 1.dwg", "line"), "\"ALICE_ PART 1,2453585.68746528,,END\"\r\n");
    EXPECT_EQ(drawingRecordLine(facts, "Alice, part 1.dwg", "POLYLINE"),
              "\"ALICE_ PART 1,2453585.68746528,40$,END\"\r\n");
  }
  // A drawing that was not read keeps no handle, whatever its facts hold.
  facts.status.kind = veldra::dwg::ErrorKind::kCorrupt;
  EXPECT_EQ(drawingRecordLine(facts, "Alice, part 1.dwg", "LINE"), "\"ALICE_ PART 1,,,END\"\r\n");
}

// A drawing gives the reader's entities (checked against the expected
// listings by the reader's own tests) and its creation date in the local
// zone. Drawings read ahead are handed over in order; a drawing asked for out
// of turn is read directly and gives the same result.
TEST(NativeSource, ReadingAheadGivesWhatTheReaderGivesOneByOne) {
  testing::TempDir dir;
  const auto broken = dir.write("b.dwg", "AC1015 broken");
  const auto folder = testing::sharedDrawings();
  if (folder.empty()) GTEST_SKIP() << "no sample drawings";
  const auto good = folder / "sample_AC1015.dwg";
  auto entities = [](NativeDrawingSource& source, const std::filesystem::path& drawing) {
    const auto facts = source.read(drawing);
    std::string seen = facts->read() ? "open" : "failed";
    for (const auto& e : facts->drawing.summary.entities)
      seen += " " + e.className + ":" + veldra::dwg::handleText(e.handle);
    if (facts->created) seen += " @" + std::to_string(std::llround(*facts->created * 86400000));
    return seen;
  };
  veldra::dwg::Summary summary;
  ASSERT_TRUE(veldra::dwg::readSummaryFile(good, summary).ok());
  std::string expectedGood = "open";
  for (const auto& e : summary.entities) expectedGood += " " + e.className + ":" + veldra::dwg::handleText(e.handle);
  expectedGood += " @" + std::to_string(std::llround((summary.created.julian() + 1.0 / 24) * 86400000));

  const auto oneHourEast = [](std::int64_t) { return 3600L; };
  NativeDrawingSource plain(oneHourEast);
  EXPECT_EQ(entities(plain, good), expectedGood);
  NativeDrawingSource ahead(oneHourEast);
  ahead.readAhead({good, broken, good, good});
  EXPECT_EQ(entities(ahead, good), expectedGood);
  EXPECT_EQ(entities(ahead, broken), "failed");
  EXPECT_EQ(entities(ahead, broken), "failed");  // out of turn
  EXPECT_EQ(entities(ahead, good), expectedGood);
}

// An old drawing saved without handles gives its entities without handle
// texts, so its record holds no handles that every such drawing would share,
// and the problem list says why the handle check cannot judge it. The same
// drawing saved with handles gives them, and its date stays local time.
TEST(NativeSource, OldDrawingsWithoutHandlesRecordNoHandles) {
  testing::TempDir dir;
  dwgwrite::OldDrawingSpec wanted;
  wanted.created = {2448000, 43200000};
  for (const std::uint64_t handle : {0x20, 0x21}) {
    dwgwrite::OldEntitySpec line;
    line.handle = handle;
    line.numbers = {0, 0, 0, 1, 1, 0};
    wanted.entities.push_back(line);
  }
  const auto write = [&](const char* name) {
    const auto bytes = dwgwrite::writeOldDrawing(wanted);
    return dir.write(name, std::string(bytes.begin(), bytes.end()));
  };
  const auto with = write("with.dwg");
  wanted.handling = false;
  const auto without = write("without.dwg");

  NativeDrawingSource source([](std::int64_t) { return 3600L; });
  const auto withoutFacts = source.read(without);
  ASSERT_TRUE(withoutFacts->read());
  ASSERT_EQ(withoutFacts->drawing.summary.entities.size(), 2u);
  for (const auto& entity : withoutFacts->drawing.summary.entities) EXPECT_FALSE(entity.hasHandle);
  const auto& facts = *withoutFacts;
  const auto problem = problemOf(facts.path, facts.fileSize, facts.status, facts.drawing.summary);
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(problem->kind, ProblemKind::kNoHandles);

  EXPECT_EQ(drawingRecordLine(facts, "without.dwg", "LINE") + drawingRecordLine(*source.read(with), "with.dwg", "LINE"),
            "\"WITHOUT,2448000.5,,END\"\r\n\"WITH,2448000.5,20$21$,END\"\r\n");
}

// A few large drawings must not be held at once: what is read ahead is
// bounded by what the reader may spend on each drawing (its file and the data
// it may decompress to), and a drawing beyond the bound is read alone.
TEST(NativeSource, ReadingAheadIsBoundedByWhatEachDrawingMayCost) {
  testing::TempDir dir;
  auto drawingOf = [&](const std::string& name, std::size_t size) {
    return dir.write(name + ".dwg", "AC1018" + std::string(size - 6, '\0'));
  };
  std::vector<std::filesystem::path> drawings;
  for (const char* name : {"a", "b", "c", "d", "e"}) drawings.push_back(drawingOf(name, 1000));
  drawings.insert(drawings.begin() + 2, drawingOf("large", 40000));
  const std::uintmax_t small = veldra::dwg::costBound(1000);
  const std::uintmax_t large = veldra::dwg::costBound(40000);
  ASSERT_GT(small, 1000u);  // compressed data may grow: the file size alone is no bound
  ASSERT_GT(large, small * 5 / 2);
  NativeDrawingSource source({}, small * 5 / 2);
  source.readAhead(drawings);
  EXPECT_EQ(source.drawingsAhead(), 2u);
  EXPECT_EQ(source.bytesAhead(), 2 * small);
  std::vector<std::pair<std::size_t, std::uintmax_t>> seen;
  for (const auto& drawing : drawings) {
    const auto facts = source.read(drawing);
    EXPECT_EQ(facts->path, drawing);
    EXPECT_FALSE(facts->status.ok());
    seen.emplace_back(source.drawingsAhead(), source.bytesAhead());
  }
  // b, then large alone, then c and d, d and e, e, nothing.
  EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::uintmax_t>>{
                      {1, small}, {1, large}, {2, 2 * small}, {2, 2 * small}, {1, small}, {0, 0}}));
}

// Junk named *.dwg, or a drawing larger than one drawing may be, is refused
// at its first bytes and never read whole: however large, it costs the
// read-ahead nothing.
TEST(NativeSource, FilesRefusedUnreadCostTheReadAheadNothing) {
  testing::TempDir dir;
  const auto drawing = dir.write("a.dwg", "AC1018" + std::string(994, '\0'));
  const auto junk = dir.write("junk.dwg", "");
  const auto huge = dir.write("huge.dwg", "AC1018");
  std::error_code ec;
  const std::uintmax_t hugeSize = veldra::dwg::kMaxDrawingCost * 4;
  std::filesystem::resize_file(junk, hugeSize, ec);  // sparse where the file system allows
  if (!ec) std::filesystem::resize_file(huge, hugeSize, ec);
  if (ec) GTEST_SKIP() << "no room for large files: " << ec.message();
  const std::uintmax_t small = veldra::dwg::costBound(1000);
  for (const auto& refused : {junk, huge}) {
    NativeDrawingSource source({}, small);
    source.readAhead({drawing, refused});
    EXPECT_EQ(source.drawingsAhead(), 2u);
    EXPECT_EQ(source.bytesAhead(), small);
    EXPECT_FALSE(source.read(drawing)->read());
    EXPECT_EQ(source.bytesAhead(), 0u);
    const auto facts = source.read(refused);
    EXPECT_EQ(facts->fileSize, hugeSize);
    EXPECT_EQ(facts->status.kind,
              refused == junk ? veldra::dwg::ErrorKind::kNotDwg : veldra::dwg::ErrorKind::kUnsupported);
  }
}

// One thread busy, two drawings waiting: dropping what waits leaves the busy
// one to finish and its result to be had; the dropped never run.
TEST(ReadingThreads, DroppedWorkNeverRunsAndWorkBegunFinishes) {
  ReadingThreads threads(1);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> runs{0};
  auto work = [&] {
    ++runs;
    released.wait();
    return FactsBatch(1);
  };
  auto begun = threads.run(work);
  auto dropped1 = threads.run(work);
  auto dropped2 = threads.run(work);
  while (runs.load() == 0) std::this_thread::yield();
  threads.dropWaiting();
  release.set_value();
  EXPECT_EQ(begun.get().size(), 1u);
  EXPECT_THROW(dropped1.get(), std::future_error);
  EXPECT_THROW(dropped2.get(), std::future_error);
  EXPECT_EQ(runs.load(), 1);
  // The threads serve again after a drop, and stop with work still queued.
  EXPECT_EQ(threads.run(work).get().size(), 1u);
  threads.run(work);
}

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

