#include "evidence/store/findings_codec.h"

#include <cstring>
#include <string>

#include "evidence/store/byte_form.h"
#include "evidence/store/settings_codec.h"

namespace veldra::evidence {

namespace {

// Raised whenever what is written changes; older bytes are then not read,
// but for those of kReadSince on. 2: each drawing's content digest.
constexpr std::uint64_t kFormat = 2;
constexpr std::uint64_t kReadSince = 1;
// The form of a drawn picture kept with a drawing's row.
constexpr std::uint64_t kPictureFormat = 1;
constexpr std::uint64_t kMagic = 0x53474E49444E4946ull;  // "FINDINGS"

using Writer = ByteWriter;
using Reader = ByteReader;

void writeInstant(Writer& w, const Instant& i) {
  w.integer(i.unixMs);
  w.flag(i.universal);
}

Instant readInstant(Reader& r) {
  Instant i;
  i.unixMs = r.integer();
  i.universal = r.flag();
  return i;
}

void writeSketch(Writer& w, const veldra::sketch::Sketch& s) {
  std::size_t size = 16;
  for (const auto& stroke : s.strokes) size += 24 + 8 * stroke.points.size();
  for (const auto& l : s.labels) size += 48 + l.text.size();
  if (w.out.empty()) w.out.reserve(size);  // a picture packed alone
  w.list(s.strokes, [&](const veldra::sketch::Stroke& stroke) {
    w.varint(stroke.entity);
    w.varint(stroke.points.size());
    // Single precision relative to the first point is plenty for a picture.
    const auto first = stroke.points.empty() ? veldra::sketch::Point{} : stroke.points.front();
    w.number(first.x);
    w.number(first.y);
    // Laid out in place: a class's pictures are millions of points.
    const std::size_t at = w.out.size();
    w.out.resize(at + 8 * stroke.points.size());
    std::uint8_t* to = w.out.data() + at;
    for (const auto& p : stroke.points)
      for (const float v : {static_cast<float>(p.x - first.x), static_cast<float>(p.y - first.y)}) {
        const auto bits = std::bit_cast<std::uint32_t>(v);
        for (int k = 0; k < 4; ++k) *to++ = static_cast<std::uint8_t>(bits >> (8 * k));
      }
  });
  w.list(s.labels, [&](const veldra::sketch::Label& l) {
    w.varint(l.entity);
    w.number(l.at.x);
    w.number(l.at.y);
    w.number(l.height);
    w.number(l.angle);
    w.text(l.text);
  });
  w.varint(s.drawn);
  w.varint(s.notDrawn);
  w.flag(s.paperSpace);
}

veldra::sketch::Sketch readSketch(Reader& r) {
  veldra::sketch::Sketch s;
  s.strokes = r.list<veldra::sketch::Stroke>([&] {
    veldra::sketch::Stroke stroke;
    stroke.entity = static_cast<std::uint32_t>(r.varint());
    const std::size_t n = r.count(8);
    const double x0 = r.number(), y0 = r.number();
    stroke.points.reserve(n);
    for (std::size_t k = 0; k < n && r.ok(); ++k) {
      const double x = r.single(), y = r.single();
      stroke.points.push_back({x0 + x, y0 + y});
    }
    return stroke;
  });
  s.labels = r.list<veldra::sketch::Label>([&] {
    veldra::sketch::Label l;
    l.entity = static_cast<std::uint32_t>(r.varint());
    l.at.x = r.number();
    l.at.y = r.number();
    l.height = r.number();
    l.angle = r.number();
    l.text = r.text();
    return l;
  });
  s.drawn = static_cast<std::size_t>(r.varint());
  s.notDrawn = static_cast<std::size_t>(r.varint());
  s.paperSpace = r.flag();
  return s;
}

// Walks over a packed picture without unpacking it; false when its bytes
// are not one. `empty` tells whether it has nothing to draw.
bool skimSketch(Reader& r, bool& empty) {
  const std::size_t strokes = r.count();
  for (std::size_t k = 0; k < strokes && r.ok(); ++k) {
    r.varint();
    const std::size_t n = r.count(8);
    r.skip(16 + 8 * n);
  }
  const std::size_t labels = r.count();
  for (std::size_t k = 0; k < labels && r.ok(); ++k) {
    r.varint();
    r.skip(32);
    r.skip(r.count());
  }
  r.varint();
  r.varint();
  r.flag();
  empty = strokes == 0 && labels == 0;
  return r.ok();
}

void writePicture(Writer& w, const DrawnPicture& picture) {
  if (picture.packed().empty()) writeSketch(w, veldra::sketch::Sketch{});
  else w.raw(picture.packed());
}

std::optional<DrawnPicture> readPicture(Reader& r) {
  const std::size_t from = r.at();
  bool empty = true;
  if (!skimSketch(r, empty)) return std::nullopt;
  return DrawnPicture::fromPacked(r.since(from));
}

void writeFacts(Writer& w, const DrawingFacts& f, WithPictures pictures) {
  w.path(f.path);
  w.path(f.name);
  w.text(f.project);
  w.optional(f.problem, [&](const ProblemDrawing& p) {
    w.varint(static_cast<std::uint64_t>(p.kind));
    w.text(p.detail);
    w.flag(p.read);
  });
  w.flag(f.readable);
  w.text(f.version);
  w.optional(f.created, [&](const Instant& i) { writeInstant(w, i); });
  w.optional(f.updated, [&](const Instant& i) { writeInstant(w, i); });
  w.optional(f.editingMs, [&](std::int64_t v) { w.integer(v); });
  w.optional(f.handseed, [&](std::uint64_t v) { w.fixed(v); });
  w.text(f.fingerprintGuid);
  w.text(f.versionGuid);
  w.text(f.author);
  w.text(f.lastSavedBy);
  w.varint(static_cast<std::uint64_t>(f.preview.format));
  w.integer(f.preview.width);
  w.integer(f.preview.height);
  w.bytes(f.preview.bytes);
  w.text(f.previewNote);
  w.varint(f.entityCount);
  writePicture(w, pictures == WithPictures::kYes ? f.drawnPicture : DrawnPicture());
  w.text(f.contentDigest);
}

DrawingFacts readFacts(Reader& r, std::uint64_t format) {
  DrawingFacts f;
  f.path = r.path();
  f.name = r.path();
  f.project = r.text();
  f.problem = r.optional<ProblemDrawing>([&] {
    ProblemDrawing p;
    p.path = f.path;
    p.kind = static_cast<ProblemKind>(r.index(static_cast<std::size_t>(ProblemKind::kNoHandles) + 1));
    p.detail = r.text();
    p.read = r.flag();
    return p;
  });
  f.readable = r.flag();
  f.version = r.text();
  f.created = r.optional<Instant>([&] { return readInstant(r); });
  f.updated = r.optional<Instant>([&] { return readInstant(r); });
  f.editingMs = r.optional<std::int64_t>([&] { return r.integer(); });
  f.handseed = r.optional<std::uint64_t>([&] { return r.fixed(); });
  f.fingerprintGuid = r.text();
  f.versionGuid = r.text();
  f.author = r.text();
  f.lastSavedBy = r.text();
  f.preview.format = static_cast<veldra::dwg::PreviewFormat>(
      r.index(static_cast<std::size_t>(veldra::dwg::PreviewFormat::kWmf) + 1));
  f.preview.width = r.small();
  f.preview.height = r.small();
  f.preview.bytes = r.bytes();
  f.previewNote = r.text();
  f.entityCount = static_cast<std::size_t>(r.varint());
  if (auto picture = readPicture(r)) f.drawnPicture = std::move(*picture);
  if (format >= 2) f.contentDigest = r.text();
  return f;
}

void writeEvidence(Writer& w, const PairEvidence& e) {
  for (const bool b : {e.sameIdentity, e.sameVersion, e.identityFromTemplate, e.differentIdentities,
                       e.sameCreatedInstant, e.sameCreatedSecond, e.createdFromTemplate, e.nameIgnored,
                       e.sameEditingTime})
    w.flag(b);
  for (const double d : {e.geometrySimilarity, e.rareSimilarity, e.beyondChance, e.handleOverlap, e.rawHandleOverlap})
    w.number(d);
  for (const int i : {e.rareShared, e.onlyTheseTwo, e.distinctiveA, e.distinctiveB, e.handlesShared, e.nameDrawings})
    w.integer(i);
  w.text(e.sharedName);
  w.flag(e.placement.has_value());
  if (const auto& pl = e.placement) {
    for (const double d : {pl->m[0], pl->m[1], pl->m[2], pl->m[3], pl->dx, pl->dy, pl->turnDegrees, pl->scale})
      w.number(d);
    w.flag(pl->mirrored);
    w.integer(pl->mapped);
    w.integer(pl->tried);
  }
}

PairEvidence readEvidence(Reader& r) {
  PairEvidence e;
  for (bool* b : {&e.sameIdentity, &e.sameVersion, &e.identityFromTemplate, &e.differentIdentities,
                  &e.sameCreatedInstant, &e.sameCreatedSecond, &e.createdFromTemplate, &e.nameIgnored,
                  &e.sameEditingTime})
    *b = r.flag();
  for (double* d : {&e.geometrySimilarity, &e.rareSimilarity, &e.beyondChance, &e.handleOverlap, &e.rawHandleOverlap})
    *d = r.number();
  for (int* i : {&e.rareShared, &e.onlyTheseTwo, &e.distinctiveA, &e.distinctiveB, &e.handlesShared, &e.nameDrawings})
    *i = r.small();
  e.sharedName = r.text();
  if (r.flag()) {
    Placement& pl = e.placement.emplace();
    for (double* d : {&pl.m[0], &pl.m[1], &pl.m[2], &pl.m[3], &pl.dx, &pl.dy, &pl.turnDegrees, &pl.scale})
      *d = r.number();
    pl.mirrored = r.flag();
    pl.mapped = r.small();
    pl.tried = r.small();
  }
  return e;
}

// About what findings take encoded, so that a large class's bytes are laid
// out once instead of moved each time the buffer fills.
std::size_t encodedSizeOf(const Findings& f, WithPictures pictures) {
  std::size_t size = 4096;
  for (const auto& d : f.drawings) {
    size += 256 + d.path.native().size() + d.name.native().size() + d.preview.bytes.size() +
            (pictures == WithPictures::kYes ? d.drawnPicture.packed().size() : 0);
  }
  for (const auto& p : f.pairs) {
    size += 160 + p.direction.size();
    for (const auto& r : p.reasons) size += 2 + r.size();
  }
  return size;
}

}  // namespace

std::optional<std::size_t> runTimeEnd(std::span<const std::uint8_t> bytes) {
  Reader r(bytes);
  if (r.fixed() != kMagic) return std::nullopt;
  if (const auto format = r.varint(); format < kReadSince || format > kFormat) return std::nullopt;
  r.text();
  r.text();
  r.integer();
  if (!r.ok()) return std::nullopt;
  return r.at();
}

std::vector<std::uint8_t> encodeFindings(const Findings& f, WithPictures pictures) {
  Writer w;
  w.out.reserve(encodedSizeOf(f, pictures));
  w.fixed(kMagic);
  w.varint(kFormat);
  w.text(f.project);
  w.text(f.term);
  w.integer(f.runAtUnixMs);
  writeSettings(w, f.settings);
  w.list(f.drawings, [&](const DrawingFacts& d) { writeFacts(w, d, pictures); });
  w.varint(f.projectDrawings);
  w.varint(f.earlierDrawings);
  w.varint(f.pairsJudged);
  w.list(f.pairs, [&](const PairFinding& p) {
    w.varint(p.a);
    w.varint(p.b);
    w.varint(static_cast<std::uint64_t>(p.verdict));
    w.integer(p.score);
    writeEvidence(w, p.evidence);
    w.optional(p.likelySource, [&](std::size_t v) { w.varint(v); });
    w.text(p.direction);
    w.list(p.reasons, [&](const std::string& t) { w.text(t); });
    w.integer(p.group);
  });
  w.list(f.groups, [&](const CopyGroup& g) {
    w.integer(g.number);
    w.list(g.members, [&](std::size_t m) { w.varint(m); });
    w.optional(g.likelySource, [&](std::size_t v) { w.varint(v); });
    w.integer(g.score);
  });
  w.list(f.notes, [&](const std::string& t) { w.text(t); });
  return std::move(w.out);
}

std::optional<Findings> decodeFindings(std::span<const std::uint8_t> bytes) {
  Reader r(bytes);
  if (r.fixed() != kMagic) return std::nullopt;
  const std::uint64_t format = r.varint();
  if (format < kReadSince || format > kFormat || !r.ok()) return std::nullopt;
  Findings f;
  f.project = r.text();
  f.term = r.text();
  f.runAtUnixMs = r.integer();
  f.settings = readSettings(r);
  f.drawings = r.list<DrawingFacts>([&] { return readFacts(r, format); });
  const std::size_t n = f.drawings.size();
  f.projectDrawings = static_cast<std::size_t>(r.varint());
  f.earlierDrawings = static_cast<std::size_t>(r.varint());
  f.pairsJudged = static_cast<std::size_t>(r.varint());
  if (f.projectDrawings > n) return std::nullopt;
  f.pairs = r.list<PairFinding>([&] {
    PairFinding p;
    p.a = r.index(n);
    p.b = r.index(n);
    p.verdict = static_cast<Verdict>(r.index(static_cast<std::size_t>(Verdict::kCopy) + 1));
    p.score = r.small();
    p.evidence = readEvidence(r);
    p.likelySource = r.optional<std::size_t>([&] { return r.index(n); });
    p.direction = r.text();
    p.reasons = r.list<std::string>([&] { return r.text(); });
    p.group = r.small();
    return p;
  });
  f.groups = r.list<CopyGroup>([&] {
    CopyGroup g;
    g.number = r.small();
    g.members = r.list<std::size_t>([&] { return r.index(n); });
    g.likelySource = r.optional<std::size_t>([&] { return r.index(n); });
    g.score = r.small();
    return g;
  });
  f.notes = r.list<std::string>([&] { return r.text(); });
  if (!r.done()) return std::nullopt;
  return f;
}

std::vector<std::uint8_t> encodeDrawingFacts(const DrawingFacts& facts) {
  Writer w;
  w.varint(kFormat);
  writeFacts(w, facts, WithPictures::kYes);
  return std::move(w.out);
}

std::optional<DrawingFacts> decodeDrawingFacts(std::span<const std::uint8_t> bytes) {
  Reader r(bytes);
  const std::uint64_t format = r.varint();
  if (format < 2 || format > kFormat || !r.ok()) return std::nullopt;
  DrawingFacts f = readFacts(r, format);
  if (!r.done()) return std::nullopt;
  return f;
}

std::vector<std::uint8_t> encodeDrawnPicture(const DrawingFacts& facts) {
  Writer w;
  w.varint(kPictureFormat);
  w.text(facts.previewNote);
  writePicture(w, facts.drawnPicture);
  return std::move(w.out);
}

void decodeDrawnPicture(std::span<const std::uint8_t> bytes, DrawingFacts& facts) {
  Reader r(bytes);
  if (r.varint() != kPictureFormat || !r.ok()) return;
  std::string note = r.text();
  auto drawn = readPicture(r);
  if (!drawn || !r.done()) return;
  facts.previewNote = std::move(note);
  facts.drawnPicture = std::move(*drawn);
}

DrawnPicture::DrawnPicture(const veldra::sketch::Sketch& sketch) : empty_(sketch.empty()) {
  Writer w;
  writeSketch(w, sketch);
  packed_ = std::move(w.out);
}

std::optional<DrawnPicture> DrawnPicture::fromPacked(std::span<const std::uint8_t> bytes) {
  Reader r(bytes);
  DrawnPicture out;
  if (!skimSketch(r, out.empty_) || !r.done()) return std::nullopt;
  out.packed_.assign(bytes.begin(), bytes.end());
  return out;
}

veldra::sketch::Sketch DrawnPicture::unpack() const {
  if (packed_.empty()) return {};
  Reader r(packed_);
  return readSketch(r);
}

std::span<const std::uint8_t> DrawnPicture::packed() const { return packed_; }

}  // namespace veldra::evidence
