#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <system_error>
#include <thread>

#include "collect/drawing_record.h"
#include "collect/native_host.h"
#include "collect/problem_drawing.h"
#include "collect/reading_threads.h"
#include "dwgwrite/r12_writer.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

TEST(NativeHost, UniversalDatesMoveIntoTheLocalZoneOlderOnesStay) {
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
  summary.version = "AC1014";
  EXPECT_DOUBLE_EQ(localCreationDate(summary, [](std::int64_t) { return 3600L; }), summary.created.julian());
}

TEST(NativeHost, AnUnreadableDrawingFailsEveryLaterStep) {
  testing::TempDir dir;
  const auto broken = dir.write("broken.dwg", "not a drawing");
  NativeDrawingHost host;
  EXPECT_TRUE(connectDrawingHost(host));
  EXPECT_FALSE(host.open(broken));
  // The reader's own account of the failure stays with the drawing until it is closed.
  ASSERT_TRUE(host.facts());
  EXPECT_EQ(host.facts()->status.kind, veldra::dwg::ErrorKind::kNotDwg);
  EXPECT_EQ(host.facts()->fileSize, 13u);
  EXPECT_EQ(host.facts()->path, broken);
  EXPECT_FALSE(host.addSelectionSet("GetHandle"));
  EXPECT_FALSE(host.forEachEntity("GetHandle", [](std::string_view, std::string_view) {}));
  EXPECT_FALSE(host.getVariable("TDCREATE").has_value());
  EXPECT_TRUE(host.closeAll());
  EXPECT_FALSE(host.facts());
}

// A drawing gives the reader's entities (checked against the expected
// listings by the reader's own tests) and its creation date in the local
// zone. Drawings read ahead are handed over in order; a drawing opened out
// of turn is read directly and gives the same result.
TEST(NativeHost, ReadingAheadGivesWhatTheReaderGivesOneByOne) {
  testing::TempDir dir;
  const auto broken = dir.write("b.dwg", "AC1015 broken");
  const auto folder = testing::sharedDrawings();
  if (folder.empty()) GTEST_SKIP() << "no sample drawings";
  const auto good = folder / "sample_AC1015.dwg";
  auto entities = [](NativeDrawingHost& host, const std::filesystem::path& drawing) {
    std::string seen = host.open(drawing) ? "open" : "failed";
    host.addSelectionSet("GetHandle");
    host.selectAll("GetHandle");
    host.forEachEntity("GetHandle", [&](std::string_view name, std::string_view handle) {
      seen += " " + std::string(name) + ":" + std::string(handle);
    });
    if (const auto date = host.getVariable("TDCREATE")) seen += " @" + std::to_string(std::llround(*date * 86400000));
    host.deleteSelectionSet("GetHandle");
    host.closeAll();
    return seen;
  };
  veldra::dwg::Summary summary;
  ASSERT_TRUE(veldra::dwg::readSummaryFile(good, summary).ok());
  std::string expectedGood = "open";
  for (const auto& e : summary.entities) expectedGood += " " + e.className + ":" + veldra::dwg::handleText(e.handle);
  expectedGood += " @" + std::to_string(std::llround((summary.created.julian() + 1.0 / 24) * 86400000));

  const auto oneHourEast = [](std::int64_t) { return 3600L; };
  NativeDrawingHost plain(oneHourEast);
  EXPECT_EQ(entities(plain, good), expectedGood);
  NativeDrawingHost ahead(oneHourEast);
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
TEST(NativeHost, OldDrawingsWithoutHandlesRecordNoHandles) {
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

  NativeDrawingHost host([](std::int64_t) { return 3600L; });
  std::vector<std::string> handles;
  ASSERT_TRUE(host.open(without));
  host.addSelectionSet("GetHandle");
  host.selectAll("GetHandle");
  host.forEachEntity("GetHandle", [&](std::string_view, std::string_view handle) { handles.emplace_back(handle); });
  EXPECT_EQ(handles, (std::vector<std::string>{"", ""}));
  const auto& facts = *host.facts();
  const auto problem = problemOf(facts.path, facts.fileSize, facts.status, facts.drawing.summary);
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(problem->kind, ProblemKind::kNoHandles);
  host.closeAll();

  EXPECT_EQ(collectDrawing(host, without, "without.dwg", "LINE") + collectDrawing(host, with, "with.dwg", "LINE"),
            "\"WITHOUT,2448000.5,,END\"\r\n\"WITH,2448000.5,20$21$,END\"\r\n");
}

// A few large drawings must not be held at once: what is read ahead is
// bounded by what the reader may spend on each drawing (its file and the data
// it may decompress to), and a drawing beyond the bound is read alone.
TEST(NativeHost, ReadingAheadIsBoundedByWhatEachDrawingMayCost) {
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
  NativeDrawingHost host({}, small * 5 / 2);
  host.readAhead(drawings);
  EXPECT_EQ(host.drawingsAhead(), 2u);
  EXPECT_EQ(host.bytesAhead(), 2 * small);
  std::vector<std::pair<std::size_t, std::uintmax_t>> seen;
  for (const auto& drawing : drawings) {
    EXPECT_FALSE(host.open(drawing));
    EXPECT_EQ(host.facts()->path, drawing);
    EXPECT_FALSE(host.facts()->status.ok());
    host.closeAll();
    seen.emplace_back(host.drawingsAhead(), host.bytesAhead());
  }
  // b, then large alone, then c and d, d and e, e, nothing.
  EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::uintmax_t>>{
                      {1, small}, {1, large}, {2, 2 * small}, {2, 2 * small}, {1, small}, {0, 0}}));
}

// Junk named *.dwg, or a drawing larger than one drawing may be, is refused
// at its first bytes and never read whole: however large, it costs the
// read-ahead nothing.
TEST(NativeHost, FilesRefusedUnreadCostTheReadAheadNothing) {
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
    NativeDrawingHost host({}, small);
    host.readAhead({drawing, refused});
    EXPECT_EQ(host.drawingsAhead(), 2u);
    EXPECT_EQ(host.bytesAhead(), small);
    EXPECT_FALSE(host.open(drawing));
    EXPECT_EQ(host.bytesAhead(), 0u);
    EXPECT_FALSE(host.open(refused));
    EXPECT_EQ(host.facts()->fileSize, hugeSize);
    EXPECT_EQ(host.facts()->status.kind,
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
    return std::make_shared<const DrawingFacts>();
  };
  auto begun = threads.run(work);
  auto dropped1 = threads.run(work);
  auto dropped2 = threads.run(work);
  while (runs.load() == 0) std::this_thread::yield();
  threads.dropWaiting();
  release.set_value();
  EXPECT_NE(begun.get(), nullptr);
  EXPECT_THROW(dropped1.get(), std::future_error);
  EXPECT_THROW(dropped2.get(), std::future_error);
  EXPECT_EQ(runs.load(), 1);
  // The threads serve again after a drop, and stop with work still queued.
  EXPECT_NE(threads.run(work).get(), nullptr);
  threads.run(work);
}

}  // namespace
}  // namespace veldra

