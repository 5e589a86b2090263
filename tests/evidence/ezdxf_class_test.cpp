// A class written by ezdxf, a writer that shares nothing with ours: the
// teacher's template, honest students (two of them on the same variant) and
// copies of every kind, each paste in an order of its own as a clipboard
// gives it, judged through the evidence check's own run. No
// honest pair may be accused and every whole copy must be found; a part
// pasted beside one's own work must be found where it took a line drawn to a
// clicked point along, and is counted otherwise (what it took may be only
// typed numbers that a student of the same variant draws alike). The figures
// per kind are printed either way.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "dwg/ezdxf_python.h"
#include "judged_class.h"

namespace veldra::evidence {
namespace {

namespace fs = std::filesystem;

// Judges the class of `seed`; adds per kind how many pairs there were and
// how many were called copies ("honest" counts the pairs of no copy).
// What the class is like: every student chose numbers of their own; only
// some started from the template file, which the teacher did not name.
// Or everyone typed the exercise's one set of numbers, so that honest
// drawings differ only where they were drawn freely, and a paste of a
// drawing with nothing drawn freely is that drawing: its copies are
// counted, not required.
struct ClassKind {
  bool own = false;
  bool fewFromTemplate = false;
  bool same = false;
  bool clicked = false;  // every measure clicked, none typed
  int large = 0;         // one more student whose sheet holds so many parts of their own
};

// Pastes of a whole drawing, moved, turned or mirrored but not scaled: where
// everyone typed one set of numbers, the note they took along still sits
// where its student put it, which no honest drawing shares.
const std::set<std::string> kWholeWithItsNote{"shuffled", "moved", "turned", "turned90", "mirrored", "leaked"};

void judgeEzdxfClass(unsigned seed, testing::Tally& tally, ClassKind how = {}) {
  const std::string which = std::string("ezdxf class") + (how.own ? " of own numbers" : "") + (how.same ? " of one set of numbers" : "") +
               (how.fewFromTemplate ? " without a template named" : "") + (how.clicked ? " clicked" : "") +
               (how.large > 0 ? " with a large sheet" : "") + " of seed " + std::to_string(seed);
  SCOPED_TRACE(which);
  testing::TempDir dir;
  const fs::path script = fs::path(VELDRA_SOURCE_DIR) / "tests/tools/classes/ezdxf_class.py";
  std::vector<std::string> arguments{std::to_string(seed), dir.path().string()};
  if (how.own) arguments.push_back("own");
  if (how.same) arguments.push_back("same");
  if (how.fewFromTemplate) arguments.push_back("few");
  if (how.clicked) arguments.push_back("clicked");
  if (how.large > 0) arguments.push_back("large=" + std::to_string(how.large));
  ASSERT_EQ(testing::runEzdxfScript(script, arguments), "");
  std::map<std::pair<std::string, std::string>, std::string> kindOf;
  std::set<std::pair<std::string, std::string>> tookLinesDrawnFreely;
  std::set<std::string> students;
  std::ifstream manifest(dir.path() / "manifest.tsv");
  for (std::string line; std::getline(manifest, line);) {
    std::istringstream fields(line);
    std::string kind, a, b;
    int linesDrawnFreely = 0;
    fields >> kind >> a >> b >> linesDrawnFreely;
    kindOf[{std::min(a, b), std::max(a, b)}] = kind;
    if (linesDrawnFreely > 0) tookLinesDrawnFreely.insert({std::min(a, b), std::max(a, b)});
  }
  for (const auto& entry : fs::directory_iterator(dir.path() / "class")) students.insert(entry.path().filename().string());

  EvidenceSettings settings;
  if (!how.fewFromTemplate) settings.templates = {dir.path() / "template.dxf"};
  const RunResult r = testing::runOnFolder(dir, dir.path() / "class", settings);
  ASSERT_EQ(r.outcome, RunOutcome::kDone) << r.error;
  if (how.fewFromTemplate) {
    const bool told = std::any_of(r.findings.notes.begin(), r.findings.notes.end(), [](const std::string& note) {
      return note.starts_with("No template was named: the entities that drawings hold under the same handle");
    });
    EXPECT_TRUE(told) << "the teacher is told where the template came from";
  }
  ASSERT_EQ(r.findings.projectDrawings, students.size());
  for (const auto& d : r.findings.drawings) EXPECT_FALSE(d.problem) << displayName(d) << " was not read whole";

  // The students by name, and each drawing's student.
  std::map<std::string, int> number;
  for (const auto& name : students) number.emplace(name, static_cast<int>(number.size()));
  std::vector<int> studentOf;
  for (const auto& d : r.findings.drawings) studentOf.push_back(number.at(fs::path(displayName(d)).begin()->string()));
  const testing::JudgedClass j(r.findings, studentOf);
  for (auto a = students.begin(); a != students.end(); ++a)
    for (auto b = std::next(a); b != students.end(); ++b) {
      const auto it = kindOf.find({*a, *b});
      const std::string kind = it == kindOf.end() || it->second == "lookalike" ? "honest" : it->second;
      const bool found = j.called(number[*a], number[*b]);
      const std::string said = which + ": " + *a + " and " + *b + j.said(number[*a], number[*b]);
      if (kind == "honest") {
        tally.honest(found, said + (it != kindOf.end() ? " (look-alikes)" : ""));
        continue;
      }
      tally.copy(kind, found);
      if (kind == "partial" ? how.own || tookLinesDrawnFreely.count({*a, *b}) > 0
                            : !how.same || kWholeWithItsNote.count(kind)) {
        EXPECT_TRUE(found) << said << " are a copy (" << kind << ")";
      }
    }
}

// The seeds the variable names ("5 8 13"), or the given ones.
std::vector<unsigned> seedsOr(const char* variable, std::vector<unsigned> seeds) {
  if (const char* given = std::getenv(variable)) {
    seeds.clear();
    std::istringstream list(given);
    for (unsigned seed = 0; list >> seed;) seeds.push_back(seed);
  }
  return seeds;
}

// What was found per kind, for the record; every honest pair accused fails.
void print(const std::string& what, const std::vector<unsigned>& seeds, const testing::Tally& tally) {
  std::string named = what;
  for (const unsigned seed : seeds) named += " " + std::to_string(seed);
  tally.report(named);
}

TEST(EzdxfClass, CopiesFoundAndNoHonestPairAccused) {
  if (const std::string why = testing::ezdxfMissing(); !why.empty()) GTEST_SKIP() << why;
  testing::Tally tally;
  // Fixed seeds, so that a failure can be run again; VELDRA_EZDXF_SEEDS
  // ("5 8 13") judges other classes. In the class of seed 9 two honest
  // students drew nearly the same variant and each was copied: the
  // variant's typed shapes must not make them copies of each other. In
  // that of seed 1 a chain of three copies and a pair of two share where a
  // note sits: five of 25 drawings, and still a copy's trace. In that of
  // seed 21 a paste scaled by 2.5 and moved off the sheet shares no shape,
  // only where its pieces sit.
  const auto seeds = seedsOr("VELDRA_EZDXF_SEEDS", {1u, 3u, 9u, 17u, 21u, 29u, 115u});
  for (const unsigned seed : seeds) judgeEzdxfClass(seed, tally);
  print("ezdxf classes of seeds", seeds, tally);
}

// Where every student chose numbers of their own, a paste shares numbers
// no honest student has, typed or not: a part pasted holding nothing drawn
// freely is found too, and two students who chose the same outline are not
// accused.
TEST(EzdxfClass, OwnNumbersCopiesFoundAndNoHonestPairAccused) {
  if (const std::string why = testing::ezdxfMissing(); !why.empty()) GTEST_SKIP() << why;
  testing::Tally tally;
  // Seed 20: a part pasted that took only typed work, in a class where a
  // corner radius or a bolt circle is now and then alike. Seed 249: the
  // part left its note behind, and the copier's name was the one text of
  // the note's height.
  const auto seeds = seedsOr("VELDRA_EZDXF_OWN_SEEDS", {2u, 6u, 16u, 20u, 105u, 249u});
  for (const unsigned seed : seeds) judgeEzdxfClass(seed, tally, {.own = true});
  print("ezdxf classes of own numbers of seeds", seeds, tally);
}

// Where everyone typed the exercise's numbers, honest drawings share all
// their typed work: none of them is accused. A whole drawing pasted keeps
// where its note sits beside the outline, and is found by that; what else
// the check finds of the pastes is counted.
TEST(EzdxfClass, OneSetOfNumbersWholePastesFoundByTheirNoteAndNoHonestPairAccused) {
  if (const std::string why = testing::ezdxfMissing(); !why.empty()) GTEST_SKIP() << why;
  testing::Tally tally;
  // Seed 3: a paste turned by 90° shared nothing but where its note sits,
  // and was not even judged. Seed 110: the note sat inside the title block
  // in the source, nearer to its lines and title than to its own part.
  const auto seeds = seedsOr("VELDRA_EZDXF_SAME_SEEDS", {3u, 4u, 7u, 29u, 110u, 114u});
  for (const unsigned seed : seeds) judgeEzdxfClass(seed, tally, {.same = true});
  print("ezdxf classes of one set of numbers of seeds", seeds, tally);
  EXPECT_EQ(tally.copies["leaked"].first, tally.copies["leaked"].second) << "a file handed on is found however alike the class is";
}

// Where some students started from the template file and the teacher named
// none, the template is what they hold under the same handles since they
// started: its frame and title are no shared work between those students.
TEST(EzdxfClass, WithoutATemplateNamedWhatDrawingsStartedFromIsTheTemplate) {
  if (const std::string why = testing::ezdxfMissing(); !why.empty()) GTEST_SKIP() << why;
  testing::Tally tally;
  // Seed 6: five of 26 started from it, and were called copies of each other.
  const auto seeds = seedsOr("VELDRA_EZDXF_FEW_SEEDS", {6u, 11u, 120u});
  for (const unsigned seed : seeds) judgeEzdxfClass(seed, tally, {.fewFromTemplate = true});
  // Seed 1: the honest pair of the same outline and other holes was called a
  // likely copy on its typed work alone.
  // Seed 7: a part pasted of typed work alone, six of its shapes shared,
  // lies whole on its source. Seed 27: one hole pasted without its
  // neighbour was told beside the wrong one of its source. Seed 217: a part
  // pasted among the copier's own, six of its ten rare pieces on the
  // source's, three of them a hole with its centre lines.
  const auto ownSeeds = seedsOr("VELDRA_EZDXF_FEW_OWN_SEEDS", {1u, 6u, 7u, 27u, 217u});
  for (const unsigned seed : ownSeeds) judgeEzdxfClass(seed, tally, {.own = true, .fewFromTemplate = true});
  print("ezdxf classes without a template named, of seeds", seeds, tally);
}

// A student whose sheet holds 300 parts of their own holds, by volume, some
// of anyone's measures: that is no copy of everyone.
TEST(EzdxfClass, ALargeSheetIsNoCopyOfTheClass) {
  if (const std::string why = testing::ezdxfMissing(); !why.empty()) GTEST_SKIP() << why;
  testing::Tally tally;
  const auto seeds = seedsOr("VELDRA_EZDXF_LARGE_SEEDS", {5u});
  for (const unsigned seed : seeds) judgeEzdxfClass(seed, tally, {.own = true, .clicked = true, .large = 300});
  print("ezdxf classes clicked with a large sheet, of seeds", seeds, tally);
}

}  // namespace
}  // namespace veldra::evidence
