// veldra-dwginfo [--evidence] [--geometry] [--preview OUT_DIR] [--draw OUT_DIR] [--] FILE...:
// prints what the drawing reader finds in each file. Without an option, in
// the form of the sample drawings' expected files; --evidence adds the
// identity, times, authors and preview kind of each drawing, --geometry the
// layer and numbers of each top-level entity; --preview writes each
// drawing's preview picture; --draw writes a picture drawn from each
// drawing's entities as NAME.png. Given together, each form follows the other.
// Damage found in a drawing follows, one "damage" line each; what is worth
// a word but no damage (a preview that is pointed to but cannot be shown, a
// code page not known, blocks not drawn) gets a "note" line instead. Many files are
// read on two threads; what is printed and written comes in the order given.

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/tool_options.h"
#include "platform/platform.h"
#include "sketch/drawing_blocks.h"
#include "sketch/raster.h"
#include "sketch/sketch.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace {

namespace dwg = veldra::dwg;
namespace fs = std::filesystem;

enum class Mode { kSummary, kEvidence, kGeometry, kPreview, kDraw };

// The shortest text that reads back as the same double.
std::string number(double value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, static_cast<std::size_t>(end - text));
}

// A text on one line: control characters as escapes, the rest as stored.
std::string oneLine(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static constexpr char kHex[] = "0123456789ABCDEF";
          out += "\\x";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out;
}

// A path as UTF-8 for the terminal.
std::string display(const fs::path& path) { return veldra::utf8FromPath(path); }

// An entity's handle; empty for an entity of an old drawing saved without handles.
std::string handleField(const dwg::Entity& entity) { return entity.hasHandle ? dwg::handleText(entity.handle) : ""; }

void printSummary(const dwg::Summary& summary, std::ostream& out) {
  out << "version\t" << summary.version << '\n';
  out << "TDCREATE\t" << number(summary.created.julian()) << '\n';
  for (const auto& entity : summary.entities)
    out << entity.className << '\t' << handleField(entity) << '\t'
        << (entity.space == dwg::Space::kModel ? "MODEL" : "PAPER") << '\n';
}

// Why a drawing that points to a preview shows none: a note, not damage.
void printPreviewNote(const dwg::Evidence& e, std::ostream& out) {
  if (!e.previewNote.empty()) out << "note\tno preview: " << oneLine(e.previewNote) << '\n';
}

void printEvidence(const dwg::Drawing& drawing, std::ostream& out) {
  const dwg::Evidence& e = drawing.evidence;
  out << "version\t" << drawing.summary.version << '\n';
  out << "TDCREATE\t" << number(drawing.summary.created.julian()) << '\n';
  const std::pair<const char*, const std::optional<dwg::StoredDate>*> dates[] = {
      {"TDUPDATE", &e.updated}, {"TDINDWG", &e.editingTime}, {"TDUSRTIMER", &e.userTimer}};
  for (const auto& [name, date] : dates)
    if (date->has_value()) out << name << '\t' << number((*date)->julian()) << '\n';
  if (e.handseed) out << "HANDSEED\t" << dwg::handleText(*e.handseed) << '\n';
  if (e.fingerprintGuid) out << "FINGERPRINTGUID\t" << oneLine(*e.fingerprintGuid) << '\n';
  if (e.versionGuid) out << "VERSIONGUID\t" << oneLine(*e.versionGuid) << '\n';
  if (e.summaryInfo) {
    const dwg::SummaryInfo& s = *e.summaryInfo;
    const std::pair<const char*, const std::string*> texts[] = {
        {"TITLE", &s.title},       {"SUBJECT", &s.subject},         {"AUTHOR", &s.author},
        {"KEYWORDS", &s.keywords}, {"COMMENTS", &s.comments},       {"LASTSAVEDBY", &s.lastSavedBy},
        {"REVISIONNUMBER", &s.revisionNumber}, {"HYPERLINKBASE", &s.hyperlinkBase}};
    for (const auto& [name, text] : texts) out << name << '\t' << oneLine(*text) << '\n';
  }
  out << "PREVIEW\t";
  switch (e.preview.format) {
    case dwg::PreviewFormat::kBmp: out << "BMP " << e.preview.width << 'x' << e.preview.height; break;
    case dwg::PreviewFormat::kPng: out << "PNG " << e.preview.width << 'x' << e.preview.height; break;
    case dwg::PreviewFormat::kWmf: out << "WMF"; break;
    case dwg::PreviewFormat::kNone: out << "none"; break;
  }
  out << '\n';
  printPreviewNote(e, out);
}

void printGeometry(const dwg::Drawing& drawing, std::ostream& out) {
  out << "version\t" << drawing.summary.version << '\n';
  const auto& entities = drawing.summary.entities;
  for (std::size_t i = 0; i < entities.size(); ++i) {
    const dwg::Entity& entity = entities[i];
    out << entity.className << '\t' << handleField(entity) << '\t'
        << (entity.space == dwg::Space::kModel ? "MODEL" : "PAPER") << '\t';
    if (i < drawing.geometry.size()) {
      const dwg::EntityGeometry& g = drawing.geometry[i];
      out << oneLine(g.layer) << '\t';
      for (std::size_t k = 0; k < g.numbers.size(); ++k) out << (k > 0 ? " " : "") << number(g.numbers[k]);
      if (g.text) out << '\t' << oneLine(*g.text);
    } else {
      out << '\t';
    }
    out << '\n';
  }
}

// Writes the preview beside the others in `dir`, named after the drawing.
void writePreview(const dwg::Drawing& drawing, const fs::path& drawingFile, const fs::path& dir,
                  std::set<fs::path>& written, std::ostream& out, int& status) {
  const std::vector<std::uint8_t> bytes = dwg::previewFileBytes(drawing.evidence.preview);
  if (bytes.empty()) {
    out << "PREVIEW\tnone\n";
    printPreviewNote(drawing.evidence, out);
    return;
  }
  const char* extension = dwg::previewExtension(drawing.evidence.preview.format);
  fs::path name = drawingFile.stem();
  name += extension;
  for (int n = 2; written.count(dir / name) != 0; ++n) {
    name = drawingFile.stem();
    name += "-" + std::to_string(n) + extension;
  }
  const fs::path target = dir / name;
  std::ofstream file(target, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    std::cerr << "veldra-dwginfo: cannot write " << display(target) << '\n';
    status = 1;
    return;
  }
  written.insert(target);
  out << "PREVIEW\t" << display(target) << '\n';
}

// Writes a picture drawn from the drawing's entities beside the others in
// `dir`, named after the drawing, through a temporary file.
void writeDrawn(const dwg::Drawing& drawing, const fs::path& drawingFile, const fs::path& dir,
                std::set<fs::path>& written, std::ostream& out, int& status) {
  const std::vector<veldra::sketch::Shape> shapes = veldra::sketch::shapesOf(drawing);
  std::vector<std::vector<veldra::sketch::Shape>> blockShapes;
  const veldra::sketch::Sketch sketch =
      veldra::sketch::sketchOf(shapes, veldra::sketch::blocksOf(drawing.blocks, blockShapes));
  // What within blocks or past the limit was not drawn, after the picture's line.
  const auto tellLeftOut = [&] {
    for (const std::string& line : veldra::sketch::describe(sketch.leftOut)) out << "note\t" << line << '\n';
  };
  if (sketch.empty()) {
    out << "DRAWN\tnothing to draw\t" << sketch.notDrawn << " entities without a shape\n";
    tellLeftOut();
    return;
  }
  const std::vector<std::uint8_t> bytes = veldra::sketch::sketchPng(sketch, 800, 600);
  fs::path name = drawingFile.stem();
  name += ".png";
  for (int n = 2; written.count(dir / name) != 0; ++n) {
    name = drawingFile.stem();
    name += "-" + std::to_string(n) + ".png";
  }
  const fs::path target = dir / name;
  fs::path temporary = target;
  temporary += ".part";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    std::error_code ec;
    if (file) fs::rename(temporary, target, ec);
    if (!file || ec) {
      fs::remove(temporary, ec);
      std::cerr << "veldra-dwginfo: cannot write " << display(target) << '\n';
      status = 1;
      return;
    }
  }
  written.insert(target);
  out << "DRAWN\t" << display(target) << '\t' << sketch.drawn << " entities drawn, " << sketch.notDrawn
      << " without a shape" << (sketch.paperSpace ? ", paper space" : "") << '\n';
  tellLeftOut();
}

// Damage found on the way, after what was read (or why reading stopped),
// then what is worth a word but no damage.
void printDamage(const dwg::Summary& summary, std::ostream& out) {
  const auto print = [&](const char* kind, const auto& finding) {
    out << kind << '\t' << oneLine(finding.message);
    if (!finding.section.empty()) out << " [" << finding.section << " at " << finding.offset << "]";
    out << '\n';
  };
  for (const dwg::Damage& damage : summary.damage) print("damage", damage);
  for (const dwg::Note& note : summary.notes) print("note", note);
}

// Reads the drawings of a list on the calling thread and one more, and hands
// them over in list order: take(i) returns drawing i once read, reading the
// next unread one meanwhile. At most kAhead drawings wait to be taken.
class Readings {
 public:
  struct Reading {
    dwg::Drawing drawing;
    dwg::Status status;
  };

  Readings(std::vector<fs::path> files, bool summaryOnly, const dwg::ReadRequest& request)
      : files_(std::move(files)), summaryOnly_(summaryOnly), request_(request), readings_(files_.size()),
        done_(files_.size(), false) {
    if (files_.size() > 1 && std::thread::hardware_concurrency() != 1) helper_ = std::thread([this] { help(); });
  }
  ~Readings() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    if (helper_.joinable()) helper_.join();
  }
  Readings(const Readings&) = delete;
  Readings& operator=(const Readings&) = delete;

  Reading take(std::size_t index) {
    std::unique_lock lock(mutex_);
    while (!done_[index]) {
      if (next_ < files_.size()) {
        readNext(lock);
      } else {
        changed_.wait(lock);
      }
    }
    taken_ = index + 1;
    changed_.notify_all();
    return std::move(readings_[index]);
  }

 private:
  static constexpr std::size_t kAhead = 32;

  void help() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stop_ || (next_ < files_.size() && next_ < taken_ + kAhead); });
      if (stop_) return;
      readNext(lock);
    }
  }

  // Reads the next unread drawing with the lock released meanwhile.
  void readNext(std::unique_lock<std::mutex>& lock) {
    const std::size_t index = next_++;
    lock.unlock();
    Reading reading;
    reading.status = summaryOnly_ ? dwg::readSummaryFile(files_[index], reading.drawing.summary)
                                  : dwg::readDrawingFile(files_[index], request_, reading.drawing);
    lock.lock();
    readings_[index] = std::move(reading);
    done_[index] = true;
    changed_.notify_all();
  }

  const std::vector<fs::path> files_;
  const bool summaryOnly_;
  const dwg::ReadRequest request_;
  std::vector<Reading> readings_;
  std::vector<bool> done_;
  std::size_t next_ = 0;   // the first drawing no thread has started
  std::size_t taken_ = 0;  // the drawings handed over
  bool stop_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread helper_;
};

constexpr veldra::ToolUsage kUsage{
    "veldra-dwginfo", VELDRA_VERSION,
    "veldra-dwginfo [--evidence] [--geometry] [--preview OUT_DIR] [--draw OUT_DIR] [--] FILE...\n"
    "       veldra-dwginfo --help | --version\n",
    "Prints what the drawing reader finds in each file. --evidence adds each drawing's identity,\n"
    "times, authors and preview kind, --geometry the layer and numbers of each top-level entity,\n"
    "--preview writes each drawing's preview picture into OUT_DIR, --draw a picture drawn from\n"
    "its entities as OUT_DIR/NAME.png; given together, each form\n"
    "follows the other in that order. Exit status: 0 all read, 1 a file could not be read, 2 a\n"
    "wrong command line.\n"};

int usage(const std::string& reason) { return veldra::printUsageError(kUsage, reason, std::cerr); }

}  // namespace

int main(int argc, char** argv) {
  // Arguments and output are UTF-8 on every system.
  veldra::useUtf8Console();
  veldra::keepFreedMemoryForReuse();
  const std::vector<std::string> args = veldra::utf8Arguments(argc, argv);
  if (const auto answered = veldra::answerHelpOrVersion(
          kUsage, args, [](std::string_view option) { return option == "--preview" || option == "--draw"; }, std::cout))
    return *answered;
  // Options and files in any order; after "--" every argument is a file.
  bool evidence = false, geometry = false, preview = false, draw = false;
  fs::path previewDir, drawDir;
  std::vector<std::string> names;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--") {
      names.insert(names.end(), args.begin() + static_cast<std::ptrdiff_t>(k) + 1, args.end());
      break;
    }
    if (arg == "--evidence") {
      evidence = true;
    } else if (arg == "--geometry") {
      geometry = true;
    } else if (arg == "--preview") {
      if (k + 1 >= args.size()) return usage("--preview needs a folder");
      preview = true;
      previewDir = veldra::pathFromUtf8(args[++k]);
    } else if (arg == "--draw") {
      if (k + 1 >= args.size()) return usage("--draw needs a folder");
      draw = true;
      drawDir = veldra::pathFromUtf8(args[++k]);
    } else if (veldra::isOption(arg)) {
      return usage("unknown option " + arg);
    } else {
      names.push_back(arg);
    }
  }
  if (names.empty()) return usage("give a drawing file");
  for (const auto& [wanted, dir] : {std::pair{preview, previewDir}, std::pair{draw, drawDir}}) {
    std::error_code ec;
    if (wanted && !fs::is_directory(dir, ec)) {
      std::cerr << "veldra-dwginfo: " << display(dir) << " is no folder\n";
      return 2;
    }
  }
  std::vector<Mode> modes;
  if (evidence) modes.push_back(Mode::kEvidence);
  if (geometry) modes.push_back(Mode::kGeometry);
  if (preview) modes.push_back(Mode::kPreview);
  if (draw) modes.push_back(Mode::kDraw);
  if (modes.empty()) modes.push_back(Mode::kSummary);

  dwg::ReadRequest request;
  request.evidence = evidence || preview;
  request.geometry = geometry || draw;
  request.blocks = draw;
  std::set<fs::path> written;
  int status = 0;
  std::vector<fs::path> files;
  for (const auto& name : names) files.push_back(veldra::pathFromUtf8(name));
  Readings readings(files, modes.front() == Mode::kSummary, request);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names.size() > 1) std::cout << "# " << names[i] << '\n';
    const fs::path& file = files[i];
    auto [drawing, s] = readings.take(i);
    if (!s.ok()) {
      std::cout << "error\t" << s.message;
      if (!s.section.empty()) std::cout << " [" << s.section << " at " << s.offset << "]";
      std::cout << '\n';
      printDamage(drawing.summary, std::cout);
      status = 1;
      continue;
    }
    for (const Mode mode : modes) {
      switch (mode) {
        case Mode::kSummary: printSummary(drawing.summary, std::cout); break;
        case Mode::kEvidence: printEvidence(drawing, std::cout); break;
        case Mode::kGeometry: printGeometry(drawing, std::cout); break;
        case Mode::kPreview: writePreview(drawing, file, previewDir, written, std::cout, status); break;
        case Mode::kDraw: writeDrawn(drawing, file, drawDir, written, std::cout, status); break;
      }
    }
    printDamage(drawing.summary, std::cout);
  }
  return status;
}
