// The evidence and geometry of every sample drawing, checked against what can
// be established without this reader: one drawing saved in seven versions
// keeps its identity and its geometry, dates and handles obey their own
// rules, and the texts are the words a person typed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "support/temp_dir.h"
#include "veldra/dwg/evidence.h"

namespace veldra::dwg {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kVersions = {"AC1014", "AC1015", "AC1018", "AC1021", "AC1024", "AC1027", "AC1032"};

// Julian days of 2000-01-01 and 2030-01-01.
constexpr double kYear2000 = 2451544.5;
constexpr double kYear2030 = 2462502.5;

Drawing readAll(const std::string& name) {
  Drawing drawing;
  const Status status = readDrawingFile(testing::sharedDrawings() / (name + ".dwg"),
                                        ReadRequest{.evidence = true, .geometry = true}, drawing);
  EXPECT_TRUE(status.ok()) << name << ": " << status.message;
  return drawing;
}

// "{8-4-4-4-12}" upper-case hexadecimal digits.
bool isGuid(const std::string& text) {
  static constexpr std::string_view kForm = "{........-....-....-....-............}";
  if (text.size() != kForm.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    if (kForm[i] == '.' ? !hex : c != kForm[i]) return false;
  }
  return true;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Layer names as a version stores them: R14 keeps them in upper case, and
// versions before R2010 put each scale of an annotative object on a layer of
// its own named after the layer and the scale ("0 @ 1"; "0___1" in R14).
bool sameLayer(const std::string& a, const std::string& b) {
  const auto base = [](std::string name) {
    name = upper(name);
    const std::size_t digits = name.find_last_not_of("0123456789") + 1;
    if (digits < name.size()) {
      for (const std::string_view mark : {" @ ", "___"})
        if (digits >= mark.size() && name.compare(digits - mark.size(), mark.size(), mark) == 0)
          return name.substr(0, digits - mark.size());
    }
    return name;
  };
  return base(a) == base(b);
}

class SampleVersions : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::sharedDrawings().empty()) GTEST_SKIP() << "no sample drawings beside the repository";
    for (const std::string& version : kVersions) drawings_.push_back(readAll("sample_" + version));
  }
  std::vector<Drawing> drawings_;
};

TEST_F(SampleVersions, OneFingerprintFromR2000OnAndNoneBefore) {
  EXPECT_FALSE(drawings_[0].evidence.fingerprintGuid.has_value());
  EXPECT_FALSE(drawings_[0].evidence.versionGuid.has_value());
  const std::optional<std::string>& first = drawings_[1].evidence.fingerprintGuid;
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(isGuid(*first)) << *first;
  for (std::size_t i = 1; i < drawings_.size(); ++i) {
    const Evidence& e = drawings_[i].evidence;
    EXPECT_EQ(e.fingerprintGuid, first) << kVersions[i];
    ASSERT_TRUE(e.versionGuid.has_value()) << kVersions[i];
    EXPECT_TRUE(isGuid(*e.versionGuid)) << kVersions[i] << ": " << *e.versionGuid;
  }
}

TEST_F(SampleVersions, DatesAndHandseedObeyTheirRules) {
  for (std::size_t i = 0; i < drawings_.size(); ++i) {
    const Drawing& d = drawings_[i];
    const Evidence& e = d.evidence;
    EXPECT_TRUE(d.summary.damage.empty()) << kVersions[i] << ": " << d.summary.damage.front().message;
    ASSERT_TRUE(e.updated && e.editingTime && e.userTimer && e.handseed) << kVersions[i];
    const double created = d.summary.created.julian();
    const double updated = e.updated->julian();
    EXPECT_GT(created, kYear2000);
    EXPECT_LT(updated, kYear2030);
    EXPECT_LE(created, updated) << kVersions[i];
    // No drawing is edited for longer than it exists, nor for no time at all.
    EXPECT_GT(e.editingTime->julian(), 0.0);
    EXPECT_LE(e.editingTime->julian(), updated - created) << kVersions[i];
    EXPECT_LE(e.userTimer->julian(), e.editingTime->julian() + 1e-9);
    // The next free handle lies above every handle in use.
    for (const Entity& entity : d.summary.entities) EXPECT_LT(entity.handle, *e.handseed) << kVersions[i];
  }
  // The copies agree on the times; R2010 and later round the editing time to
  // the second, and R14 keeps local time: whole hours of its zone away.
  for (std::size_t i = 2; i < drawings_.size(); ++i) {
    EXPECT_NEAR(drawings_[i].evidence.updated->julian(), drawings_[1].evidence.updated->julian(), 1.0 / 86400);
    EXPECT_NEAR(drawings_[i].evidence.editingTime->julian(), drawings_[1].evidence.editingTime->julian(), 1.0 / 86400);
  }
  const double zoneHours =
      (drawings_[0].evidence.updated->julian() - drawings_[1].evidence.updated->julian()) * 24;
  EXPECT_NEAR(zoneHours, std::round(zoneHours), 1e-4);
  EXPECT_TRUE(zoneHours >= -12 && zoneHours <= 14) << zoneHours;
}

TEST_F(SampleVersions, SummaryInformationFromR2004OnAndTheSameInEach) {
  EXPECT_FALSE(drawings_[0].evidence.summaryInfo.has_value());
  EXPECT_FALSE(drawings_[1].evidence.summaryInfo.has_value());
  for (std::size_t i = 2; i < drawings_.size(); ++i) {
    const auto& info = drawings_[i].evidence.summaryInfo;
    ASSERT_TRUE(info.has_value()) << kVersions[i];
    EXPECT_EQ(info->lastSavedBy, "Usuario") << kVersions[i];
    EXPECT_EQ(info->title + info->subject + info->author + info->keywords + info->comments + info->revisionNumber +
                  info->hyperlinkBase,
              "")
        << kVersions[i];
  }
}

TEST_F(SampleVersions, EveryCopyHasThePreviewItsVersionWrites) {
  for (std::size_t i = 0; i < drawings_.size(); ++i) {
    const Preview& p = drawings_[i].evidence.preview;
    // BMP up to R2010, PNG after; the picture is wider than high, as the drawing.
    EXPECT_EQ(p.format, i <= 4 ? PreviewFormat::kBmp : PreviewFormat::kPng) << kVersions[i];
    EXPECT_GT(p.width, p.height) << kVersions[i];
    EXPECT_FALSE(p.bytes.empty());
  }
}

TEST_F(SampleVersions, EveryCopyHoldsTheSameGeometry) {
  const std::vector<EntityGeometry>& reference = drawings_[1].geometry;
  ASSERT_EQ(reference.size(), drawings_[1].summary.entities.size());
  for (std::size_t i = 0; i < drawings_.size(); ++i) {
    const Drawing& d = drawings_[i];
    ASSERT_EQ(d.geometry.size(), reference.size()) << kVersions[i];
    for (std::size_t k = 0; k < reference.size(); ++k) {
      const std::string where = kVersions[i] + " " + handleText(d.summary.entities[k].handle);
      EXPECT_TRUE(sameLayer(d.geometry[k].layer, reference[k].layer))
          << where << ": " << d.geometry[k].layer << " / " << reference[k].layer;
      EXPECT_EQ(d.geometry[k].numbers, reference[k].numbers) << where;
      // R14 keeps block names in upper case too.
      if (i == 0 && d.summary.entities[k].className == "AcDbBlockReference")
        EXPECT_EQ(upper(d.geometry[k].text.value_or("")), upper(reference[k].text.value_or("?"))) << where;
      else
        EXPECT_EQ(d.geometry[k].text, reference[k].text) << where;
    }
  }
}

TEST_F(SampleVersions, NumbersOfEachKindAreWhatTheKindAllows) {
  std::map<std::string, int> seen;
  const Drawing& d = drawings_[6];
  for (std::size_t k = 0; k < d.geometry.size(); ++k) {
    const std::string& kind = d.summary.entities[k].className;
    const EntityGeometry& g = d.geometry[k];
    const auto& n = g.numbers;
    const std::string where = kind + " " + handleText(d.summary.entities[k].handle);
    EXPECT_FALSE(g.layer.empty()) << where;
    for (double v : n) EXPECT_TRUE(std::isfinite(v) && std::abs(v) < 1e6) << where;
    ++seen[kind];
    if (kind == "AcDbLine") {
      EXPECT_EQ(n.size(), 6u) << where;
    } else if (kind == "AcDbCircle") {
      ASSERT_EQ(n.size(), 4u) << where;
      EXPECT_GT(n[3], 0.0) << where;
    } else if (kind == "AcDbArc") {
      ASSERT_EQ(n.size(), 6u) << where;
      EXPECT_GT(n[3], 0.0) << where;
      for (int a : {4, 5}) EXPECT_TRUE(n[a] >= 0 && n[a] <= 2 * std::numbers::pi) << where;
    } else if (kind == "AcDbEllipse") {
      ASSERT_EQ(n.size(), 9u) << where;
      EXPECT_TRUE(n[6] > 0 && n[6] <= 1) << where;  // minor to major axis
    } else if (kind == "AcDbPoint") {
      EXPECT_EQ(n.size(), 3u) << where;
    } else if (kind == "AcDbPolyline") {
      EXPECT_TRUE(!n.empty() && n.size() % 3 == 0) << where;
    } else if (kind == "AcDbText") {
      ASSERT_EQ(n.size(), 3u) << where;
      EXPECT_GT(n[2], 0.0) << where;
      EXPECT_EQ(g.text, "Hello this is a single line text") << where;
    } else if (kind == "AcDbBlockReference") {
      EXPECT_EQ(n.size(), 7u) << where;
      ASSERT_TRUE(g.text.has_value()) << where;
      EXPECT_FALSE(g.text->empty()) << where;
    } else {
      EXPECT_TRUE(n.empty() && !g.text) << where;
    }
  }
  for (const char* kind : {"AcDbLine", "AcDbCircle", "AcDbArc", "AcDbEllipse", "AcDbPoint", "AcDbPolyline", "AcDbText",
                           "AcDbBlockReference"})
    EXPECT_GT(seen[kind], 0) << kind;
}

class OtherSamples : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::sharedDrawings().empty()) GTEST_SKIP() << "no sample drawings beside the repository";
  }

  static const EntityGeometry* find(const Drawing& d, std::uint64_t handle) {
    for (std::size_t k = 0; k < d.summary.entities.size(); ++k)
      if (d.summary.entities[k].handle == handle) return &d.geometry[k];
    return nullptr;
  }
};

TEST_F(OtherSamples, ReadWholeWithoutDamage) {
  for (const char* name : {"custom_classes_AC1032", "dynamic_block_AC1032", "empty_AC1032", "layouts_AC1032",
                           "mleader_AC1014"}) {
    const Drawing d = readAll(name);
    EXPECT_TRUE(d.summary.damage.empty()) << name << ": " << d.summary.damage.front().message;
    EXPECT_EQ(d.geometry.size(), d.summary.entities.size()) << name;
    for (const EntityGeometry& g : d.geometry) EXPECT_FALSE(g.layer.empty()) << name;
    ASSERT_TRUE(d.evidence.handseed.has_value()) << name;
    for (const Entity& e : d.summary.entities) EXPECT_LT(e.handle, *d.evidence.handseed) << name;
    EXPECT_NE(d.evidence.preview.format, PreviewFormat::kNone) << name;
    if (d.summary.version >= "AC1015") {
      EXPECT_TRUE(isGuid(d.evidence.fingerprintGuid.value_or(""))) << name;
      // A drawing made in R2000 or later, never copied: its own fingerprint.
      EXPECT_NE(d.evidence.fingerprintGuid, readAll("sample_AC1015").evidence.fingerprintGuid) << name;
    }
  }
}

// Asked for, the named blocks come with their own entities: every block a
// reference of the real drawings names is there with geometry, and reading
// them adds no damage and changes nothing else.
TEST_F(OtherSamples, BlocksComeWithTheirOwnEntities) {
  for (const char* name : {"dynamic_block_AC1032", "layouts_AC1032", "sample_AC1018", "sample_AC1014"}) {
    SCOPED_TRACE(name);
    const Drawing plain = readAll(name);
    Drawing d;
    ASSERT_TRUE(readDrawingFile(testing::sharedDrawings() / (std::string(name) + ".dwg"),
                                ReadRequest{.evidence = true, .geometry = true, .blocks = true}, d)
                    .ok());
    EXPECT_TRUE(plain.blocks.empty());
    EXPECT_EQ(d.summary.damage.size(), plain.summary.damage.size());
    ASSERT_EQ(d.geometry.size(), plain.geometry.size());
    for (std::size_t i = 0; i < d.geometry.size(); ++i) EXPECT_EQ(d.geometry[i].numbers, plain.geometry[i].numbers);
    for (const auto& block : d.blocks) {
      EXPECT_FALSE(block.name.empty());
      EXPECT_EQ(block.kinds.size(), block.geometry.size()) << block.name;
      EXPECT_FALSE(block.kinds.empty()) << block.name;
    }
    for (std::size_t i = 0; i < d.summary.entities.size(); ++i) {
      if (d.summary.entities[i].className != "AcDbBlockReference" || !d.geometry[i].text) continue;
      const std::string& named = *d.geometry[i].text;
      const bool given = std::any_of(d.blocks.begin(), d.blocks.end(), [&](const auto& b) { return b.name == named; });
      EXPECT_TRUE(given) << "no block " << named;
    }
  }
}

TEST_F(OtherSamples, GeometryNamesWhatAPersonDrew) {
  const Drawing layouts = readAll("layouts_AC1032");
  // A square of side 100 at the origin, closed (its fourth side runs back to
  // the first vertex), and the texts and block a person typed.
  const EntityGeometry* square = find(layouts, 0x239);
  ASSERT_NE(square, nullptr);
  EXPECT_EQ(square->numbers, (std::vector<double>{0, 0, 0, 100, 0, 0, 100, 100, 0, 0, 100, 0, 0, 0, 0}));
  EXPECT_EQ(find(layouts, 0x591)->text, "Hello");
  EXPECT_EQ(find(layouts, 0x59D)->text, "Goodbye");
  EXPECT_EQ(find(layouts, 0x3B6)->text, "my_block");

  const Drawing custom = readAll("custom_classes_AC1032");
  EXPECT_EQ(find(custom, 0x3D38)->layer, "A-Wall");
  EXPECT_EQ(find(custom, 0x3D3B)->layer, "A-Door");

  // References to a dynamic block name the anonymous block they show.
  const Drawing dynamic = readAll("dynamic_block_AC1032");
  for (const EntityGeometry& g : dynamic.geometry) EXPECT_EQ(g.text.value_or("").rfind("*U", 0), 0u);
}

TEST_F(OtherSamples, TheSummaryAloneReadsNoEvidence) {
  Drawing d;
  ASSERT_TRUE(readDrawingFile(testing::sharedDrawings() / "sample_AC1032.dwg", ReadRequest{}, d).ok());
  EXPECT_FALSE(d.evidence.updated || d.evidence.fingerprintGuid || d.evidence.summaryInfo);
  EXPECT_EQ(d.evidence.preview.format, PreviewFormat::kNone);
  EXPECT_TRUE(d.geometry.empty());
  Summary plain;
  ASSERT_TRUE(readSummaryFile(testing::sharedDrawings() / "sample_AC1032.dwg", plain).ok());
  const Drawing all = readAll("sample_AC1032");
  EXPECT_EQ(all.summary.entities.size(), plain.entities.size());
  EXPECT_EQ(all.summary.created.julian(), plain.created.julian());
}

}  // namespace
}  // namespace veldra::dwg
