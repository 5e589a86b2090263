// AcDb:Header: the header variables, read in file order. Every field up to
// the last one the reader keeps (VERSIONGUID) is declared once in the table
// below with its data code and the releases that store it. The summary stops
// at TDCREATE; the evidence reads on.
//
// From R2007 on a header keeps its texts in a string stream at the end of
// its data and its handle references after that; HANDSEED alone stays in the
// data.

#include <optional>

#include "bit_reader.h"
#include "format.h"
#include "text_codec.h"

namespace veldra::dwg::detail {
namespace {

enum class Code {
  kB, kBS, kBL, kBLL, kBD, kRC, k2RD, k3BD, kTV, kH, kCMC,
  kDate,              // two BL: days and milliseconds
  kHandseed,          // H, in the data even from R2007 on
  kPlotStyleType,     // BS, CEPSNTYPE
  kPlotStyleHandle,   // H, stored only when CEPSNTYPE is 3
};

// Where a field's value goes.
enum class Slot { kNone, kCreated, kUpdated, kEditingTime, kUserTimer, kHandseed, kFingerprintGuid, kVersionGuid };

struct HeaderField {
  const char* name;
  Code code;
  Release from = Release::kR13;
  Release to = Release::kR2018;
  Slot slot = Slot::kNone;
};

constexpr Release kFirst = Release::kR13;
constexpr Release kLast = Release::kR2018;

constexpr HeaderField kHeaderFields[] = {
    {"REQUIREDVERSIONS", Code::kBLL, Release::kR2013, kLast},
    {"unknown 412148564080.0", Code::kBD},
    {"unknown 1.0 (1)", Code::kBD},
    {"unknown 1.0 (2)", Code::kBD},
    {"unknown 1.0 (3)", Code::kBD},
    {"unknown text 1", Code::kTV},
    {"unknown text 2", Code::kTV},
    {"unknown text 3", Code::kTV},
    {"unknown text 4", Code::kTV},
    {"unknown 24", Code::kBL},
    {"unknown 0", Code::kBL},
    {"unknown short", Code::kBS, kFirst, Release::kR14},
    {"current viewport entity header", Code::kH, kFirst, Release::kR2000},
    {"DIMASO", Code::kB},
    {"DIMSHO", Code::kB},
    {"DIMSAV", Code::kB, kFirst, Release::kR14},
    {"PLINEGEN", Code::kB},
    {"ORTHOMODE", Code::kB},
    {"REGENMODE", Code::kB},
    {"FILLMODE", Code::kB},
    {"QTEXTMODE", Code::kB},
    {"PSLTSCALE", Code::kB},
    {"LIMCHECK", Code::kB},
    {"BLIPMODE", Code::kB, kFirst, Release::kR14},
    {"unknown bit", Code::kB, Release::kR2004, kLast},
    {"USRTIMER", Code::kB},
    {"SKPOLY", Code::kB},
    {"ANGDIR", Code::kB},
    {"SPLFRAME", Code::kB},
    {"ATTREQ", Code::kB, kFirst, Release::kR14},
    {"ATTDIA", Code::kB, kFirst, Release::kR14},
    {"MIRRTEXT", Code::kB},
    {"WORLDVIEW", Code::kB},
    {"WIREFRAME", Code::kB, kFirst, Release::kR14},
    {"TILEMODE", Code::kB},
    {"PLIMCHECK", Code::kB},
    {"VISRETAIN", Code::kB},
    {"DELOBJ", Code::kB, kFirst, Release::kR14},
    {"DISPSILH", Code::kB},
    {"PELLIPSE", Code::kB},
    {"PROXYGRAPHICS", Code::kBS},
    {"DRAGMODE", Code::kBS, kFirst, Release::kR14},
    {"TREEDEPTH", Code::kBS},
    {"LUNITS", Code::kBS},
    {"LUPREC", Code::kBS},
    {"AUNITS", Code::kBS},
    {"AUPREC", Code::kBS},
    {"OSMODE", Code::kBS, kFirst, Release::kR14},
    {"ATTMODE", Code::kBS},
    {"COORDS", Code::kBS, kFirst, Release::kR14},
    {"PDMODE", Code::kBS},
    {"PICKSTYLE", Code::kBS, kFirst, Release::kR14},
    {"unknown long 1", Code::kBL, Release::kR2004, kLast},
    {"unknown long 2", Code::kBL, Release::kR2004, kLast},
    {"unknown long 3", Code::kBL, Release::kR2004, kLast},
    {"USERI1", Code::kBS},
    {"USERI2", Code::kBS},
    {"USERI3", Code::kBS},
    {"USERI4", Code::kBS},
    {"USERI5", Code::kBS},
    {"SPLINESEGS", Code::kBS},
    {"SURFU", Code::kBS},
    {"SURFV", Code::kBS},
    {"SURFTYPE", Code::kBS},
    {"SURFTAB1", Code::kBS},
    {"SURFTAB2", Code::kBS},
    {"SPLINETYPE", Code::kBS},
    {"SHADEDGE", Code::kBS},
    {"SHADEDIF", Code::kBS},
    {"UNITMODE", Code::kBS},
    {"MAXACTVP", Code::kBS},
    {"ISOLINES", Code::kBS},
    {"CMLJUST", Code::kBS},
    {"TEXTQLTY", Code::kBS},
    {"LTSCALE", Code::kBD},
    {"TEXTSIZE", Code::kBD},
    {"TRACEWID", Code::kBD},
    {"SKETCHINC", Code::kBD},
    {"FILLETRAD", Code::kBD},
    {"THICKNESS", Code::kBD},
    {"ANGBASE", Code::kBD},
    {"PDSIZE", Code::kBD},
    {"PLINEWID", Code::kBD},
    {"USERR1", Code::kBD},
    {"USERR2", Code::kBD},
    {"USERR3", Code::kBD},
    {"USERR4", Code::kBD},
    {"USERR5", Code::kBD},
    {"CHAMFERA", Code::kBD},
    {"CHAMFERB", Code::kBD},
    {"CHAMFERC", Code::kBD},
    {"CHAMFERD", Code::kBD},
    {"FACETRES", Code::kBD},
    {"CMLSCALE", Code::kBD},
    {"CELTSCALE", Code::kBD},
    {"MENUNAME", Code::kTV},
    {"TDCREATE", Code::kDate, kFirst, kLast, Slot::kCreated},
    // Only the evidence reads on from here.
    {"TDUPDATE", Code::kDate, kFirst, kLast, Slot::kUpdated},
    {"unknown long 4", Code::kBL, Release::kR2004, kLast},
    {"unknown long 5", Code::kBL, Release::kR2004, kLast},
    {"unknown long 6", Code::kBL, Release::kR2004, kLast},
    {"TDINDWG", Code::kDate, kFirst, kLast, Slot::kEditingTime},
    {"TDUSRTIMER", Code::kDate, kFirst, kLast, Slot::kUserTimer},
    {"CECOLOR", Code::kCMC},
    {"HANDSEED", Code::kHandseed, kFirst, kLast, Slot::kHandseed},
    {"CLAYER", Code::kH},
    {"TEXTSTYLE", Code::kH},
    {"CELTYPE", Code::kH},
    {"CMATERIAL", Code::kH, Release::kR2007, kLast},
    {"DIMSTYLE", Code::kH},
    {"CMLSTYLE", Code::kH},
    {"PSVPSCALE", Code::kBD, Release::kR2000, kLast},
    {"INSBASE (paper space)", Code::k3BD},
    {"EXTMIN (paper space)", Code::k3BD},
    {"EXTMAX (paper space)", Code::k3BD},
    {"LIMMIN (paper space)", Code::k2RD},
    {"LIMMAX (paper space)", Code::k2RD},
    {"ELEVATION (paper space)", Code::kBD},
    {"UCSORG (paper space)", Code::k3BD},
    {"UCSXDIR (paper space)", Code::k3BD},
    {"UCSYDIR (paper space)", Code::k3BD},
    {"UCSNAME (paper space)", Code::kH},
    {"PUCSORTHOREF", Code::kH, Release::kR2000, kLast},
    {"PUCSORTHOVIEW", Code::kBS, Release::kR2000, kLast},
    {"PUCSBASE", Code::kH, Release::kR2000, kLast},
    {"PUCSORGTOP", Code::k3BD, Release::kR2000, kLast},
    {"PUCSORGBOTTOM", Code::k3BD, Release::kR2000, kLast},
    {"PUCSORGLEFT", Code::k3BD, Release::kR2000, kLast},
    {"PUCSORGRIGHT", Code::k3BD, Release::kR2000, kLast},
    {"PUCSORGFRONT", Code::k3BD, Release::kR2000, kLast},
    {"PUCSORGBACK", Code::k3BD, Release::kR2000, kLast},
    {"INSBASE (model space)", Code::k3BD},
    {"EXTMIN (model space)", Code::k3BD},
    {"EXTMAX (model space)", Code::k3BD},
    {"LIMMIN (model space)", Code::k2RD},
    {"LIMMAX (model space)", Code::k2RD},
    {"ELEVATION (model space)", Code::kBD},
    {"UCSORG (model space)", Code::k3BD},
    {"UCSXDIR (model space)", Code::k3BD},
    {"UCSYDIR (model space)", Code::k3BD},
    {"UCSNAME (model space)", Code::kH},
    {"UCSORTHOREF", Code::kH, Release::kR2000, kLast},
    {"UCSORTHOVIEW", Code::kBS, Release::kR2000, kLast},
    {"UCSBASE", Code::kH, Release::kR2000, kLast},
    {"UCSORGTOP", Code::k3BD, Release::kR2000, kLast},
    {"UCSORGBOTTOM", Code::k3BD, Release::kR2000, kLast},
    {"UCSORGLEFT", Code::k3BD, Release::kR2000, kLast},
    {"UCSORGRIGHT", Code::k3BD, Release::kR2000, kLast},
    {"UCSORGFRONT", Code::k3BD, Release::kR2000, kLast},
    {"UCSORGBACK", Code::k3BD, Release::kR2000, kLast},
    {"DIMPOST", Code::kTV, Release::kR2000, kLast},
    {"DIMAPOST", Code::kTV, Release::kR2000, kLast},
    {"DIMTOL", Code::kB, kFirst, Release::kR14},
    {"DIMLIM", Code::kB, kFirst, Release::kR14},
    {"DIMTIH", Code::kB, kFirst, Release::kR14},
    {"DIMTOH", Code::kB, kFirst, Release::kR14},
    {"DIMSE1", Code::kB, kFirst, Release::kR14},
    {"DIMSE2", Code::kB, kFirst, Release::kR14},
    {"DIMALT", Code::kB, kFirst, Release::kR14},
    {"DIMTOFL", Code::kB, kFirst, Release::kR14},
    {"DIMSAH", Code::kB, kFirst, Release::kR14},
    {"DIMTIX", Code::kB, kFirst, Release::kR14},
    {"DIMSOXD", Code::kB, kFirst, Release::kR14},
    {"DIMALTD", Code::kRC, kFirst, Release::kR14},
    {"DIMZIN", Code::kRC, kFirst, Release::kR14},
    {"DIMSD1", Code::kB, kFirst, Release::kR14},
    {"DIMSD2", Code::kB, kFirst, Release::kR14},
    {"DIMTOLJ", Code::kRC, kFirst, Release::kR14},
    {"DIMJUST", Code::kRC, kFirst, Release::kR14},
    {"DIMFIT", Code::kRC, kFirst, Release::kR14},
    {"DIMUPT", Code::kB, kFirst, Release::kR14},
    {"DIMTZIN", Code::kRC, kFirst, Release::kR14},
    {"DIMALTZ", Code::kRC, kFirst, Release::kR14},
    {"DIMALTTZ", Code::kRC, kFirst, Release::kR14},
    {"DIMTAD", Code::kRC, kFirst, Release::kR14},
    {"DIMUNIT", Code::kBS, kFirst, Release::kR14},
    {"DIMAUNIT", Code::kBS, kFirst, Release::kR14},
    {"DIMDEC", Code::kBS, kFirst, Release::kR14},
    {"DIMTDEC", Code::kBS, kFirst, Release::kR14},
    {"DIMALTU", Code::kBS, kFirst, Release::kR14},
    {"DIMALTTD", Code::kBS, kFirst, Release::kR14},
    {"DIMTXSTY", Code::kH, kFirst, Release::kR14},
    {"DIMSCALE", Code::kBD},
    {"DIMASZ", Code::kBD},
    {"DIMEXO", Code::kBD},
    {"DIMDLI", Code::kBD},
    {"DIMEXE", Code::kBD},
    {"DIMRND", Code::kBD},
    {"DIMDLE", Code::kBD},
    {"DIMTP", Code::kBD},
    {"DIMTM", Code::kBD},
    {"DIMFXL", Code::kBD, Release::kR2007, kLast},
    {"DIMJOGANG", Code::kBD, Release::kR2007, kLast},
    {"DIMTFILL", Code::kBS, Release::kR2007, kLast},
    {"DIMTFILLCLR", Code::kCMC, Release::kR2007, kLast},
    {"DIMTOL", Code::kB, Release::kR2000, kLast},
    {"DIMLIM", Code::kB, Release::kR2000, kLast},
    {"DIMTIH", Code::kB, Release::kR2000, kLast},
    {"DIMTOH", Code::kB, Release::kR2000, kLast},
    {"DIMSE1", Code::kB, Release::kR2000, kLast},
    {"DIMSE2", Code::kB, Release::kR2000, kLast},
    {"DIMTAD", Code::kBS, Release::kR2000, kLast},
    {"DIMZIN", Code::kBS, Release::kR2000, kLast},
    {"DIMAZIN", Code::kBS, Release::kR2000, kLast},
    {"DIMARCSYM", Code::kBS, Release::kR2007, kLast},
    {"DIMTXT", Code::kBD},
    {"DIMCEN", Code::kBD},
    {"DIMTSZ", Code::kBD},
    {"DIMALTF", Code::kBD},
    {"DIMLFAC", Code::kBD},
    {"DIMTVP", Code::kBD},
    {"DIMTFAC", Code::kBD},
    {"DIMGAP", Code::kBD},
    {"DIMPOST", Code::kTV, kFirst, Release::kR14},
    {"DIMAPOST", Code::kTV, kFirst, Release::kR14},
    {"DIMBLK", Code::kTV, kFirst, Release::kR14},
    {"DIMBLK1", Code::kTV, kFirst, Release::kR14},
    {"DIMBLK2", Code::kTV, kFirst, Release::kR14},
    {"DIMALTRND", Code::kBD, Release::kR2000, kLast},
    {"DIMALT", Code::kB, Release::kR2000, kLast},
    {"DIMALTD", Code::kBS, Release::kR2000, kLast},
    {"DIMTOFL", Code::kB, Release::kR2000, kLast},
    {"DIMSAH", Code::kB, Release::kR2000, kLast},
    {"DIMTIX", Code::kB, Release::kR2000, kLast},
    {"DIMSOXD", Code::kB, Release::kR2000, kLast},
    {"DIMCLRD", Code::kCMC},
    {"DIMCLRE", Code::kCMC},
    {"DIMCLRT", Code::kCMC},
    {"DIMADEC", Code::kBS, Release::kR2000, kLast},
    {"DIMDEC", Code::kBS, Release::kR2000, kLast},
    {"DIMTDEC", Code::kBS, Release::kR2000, kLast},
    {"DIMALTU", Code::kBS, Release::kR2000, kLast},
    {"DIMALTTD", Code::kBS, Release::kR2000, kLast},
    {"DIMAUNIT", Code::kBS, Release::kR2000, kLast},
    {"DIMFRAC", Code::kBS, Release::kR2000, kLast},
    {"DIMLUNIT", Code::kBS, Release::kR2000, kLast},
    {"DIMDSEP", Code::kBS, Release::kR2000, kLast},
    {"DIMTMOVE", Code::kBS, Release::kR2000, kLast},
    {"DIMJUST", Code::kBS, Release::kR2000, kLast},
    {"DIMSD1", Code::kB, Release::kR2000, kLast},
    {"DIMSD2", Code::kB, Release::kR2000, kLast},
    {"DIMTOLJ", Code::kBS, Release::kR2000, kLast},
    {"DIMTZIN", Code::kBS, Release::kR2000, kLast},
    {"DIMALTZ", Code::kBS, Release::kR2000, kLast},
    {"DIMALTTZ", Code::kBS, Release::kR2000, kLast},
    {"DIMUPT", Code::kB, Release::kR2000, kLast},
    {"DIMATFIT", Code::kBS, Release::kR2000, kLast},
    {"DIMFXLON", Code::kB, Release::kR2007, kLast},
    {"DIMTXTDIRECTION", Code::kB, Release::kR2010, kLast},
    {"DIMALTMZF", Code::kBD, Release::kR2010, kLast},
    {"DIMALTMZS", Code::kTV, Release::kR2010, kLast},
    {"DIMMZF", Code::kBD, Release::kR2010, kLast},
    {"DIMMZS", Code::kTV, Release::kR2010, kLast},
    {"DIMTXSTY", Code::kH, Release::kR2000, kLast},
    {"DIMLDRBLK", Code::kH, Release::kR2000, kLast},
    {"DIMBLK", Code::kH, Release::kR2000, kLast},
    {"DIMBLK1", Code::kH, Release::kR2000, kLast},
    {"DIMBLK2", Code::kH, Release::kR2000, kLast},
    {"DIMLTYPE", Code::kH, Release::kR2007, kLast},
    {"DIMLTEX1", Code::kH, Release::kR2007, kLast},
    {"DIMLTEX2", Code::kH, Release::kR2007, kLast},
    {"DIMLWD", Code::kBS, Release::kR2000, kLast},
    {"DIMLWE", Code::kBS, Release::kR2000, kLast},
    {"block control", Code::kH},
    {"layer control", Code::kH},
    {"text style control", Code::kH},
    {"linetype control", Code::kH},
    {"view control", Code::kH},
    {"UCS control", Code::kH},
    {"viewport control", Code::kH},
    {"application control", Code::kH},
    {"dimension style control", Code::kH},
    {"viewport entity header control", Code::kH, kFirst, Release::kR2000},
    {"ACAD_GROUP dictionary", Code::kH},
    {"ACAD_MLINESTYLE dictionary", Code::kH},
    {"named object dictionary", Code::kH},
    {"TSTACKALIGN", Code::kBS, Release::kR2000, kLast},
    {"TSTACKSIZE", Code::kBS, Release::kR2000, kLast},
    {"HYPERLINKBASE", Code::kTV, Release::kR2000, kLast},
    {"STYLESHEET", Code::kTV, Release::kR2000, kLast},
    {"layout dictionary", Code::kH, Release::kR2000, kLast},
    {"plot settings dictionary", Code::kH, Release::kR2000, kLast},
    {"plot style dictionary", Code::kH, Release::kR2000, kLast},
    {"material dictionary", Code::kH, Release::kR2004, kLast},
    {"colour dictionary", Code::kH, Release::kR2004, kLast},
    {"visual style dictionary", Code::kH, Release::kR2007, kLast},
    {"unknown handle", Code::kH, Release::kR2013, kLast},
    {"line weight and other flags", Code::kBL, Release::kR2000, kLast},
    {"INSUNITS", Code::kBS, Release::kR2000, kLast},
    {"CEPSNTYPE", Code::kPlotStyleType, Release::kR2000, kLast},
    {"CPSNID", Code::kPlotStyleHandle, Release::kR2000, kLast},
    {"FINGERPRINTGUID", Code::kTV, Release::kR2000, kLast, Slot::kFingerprintGuid},
    {"VERSIONGUID", Code::kTV, Release::kR2000, kLast, Slot::kVersionGuid},
};

constexpr std::size_t kSentinelSize = 16;
constexpr std::int32_t kMillisecondsPerDay = 86400000;
constexpr std::int16_t kPlotStyleByHandle = 3;

bool validDate(const StoredDate& date) {
  return date.days >= 0 && date.milliseconds >= 0 && date.milliseconds < kMillisecondsPerDay;
}

class HeaderWalker {
 public:
  HeaderWalker(const Sections& sections, Release release) : sections_(sections), release_(release) {}

  // Reads the fields in order up to TDCREATE, or with `evidence` up to the
  // last one. A bad creation date fails the read; a bad later date only
  // leaves its field empty and is reported through `laterStatus`.
  Status walk(StoredDate& created, Evidence* evidence, Status* laterStatus) {
    const std::span<const std::uint8_t> data(sections_.header);
    BitReader reader(data);
    reader.skip(kSentinelSize * 8);
    const std::uint32_t size = reader.readRL();
    if (release_ >= Release::kR2018 || (release_ >= Release::kR2010 && sections_.maintenance > 3)) reader.readRL();
    if (reader.failed() || size > data.size())
      return makeError(ErrorKind::kTruncated, "header variables cut short", 0, std::string(kHeaderName));
    const bool textsApart = release_ >= Release::kR2007;
    Status stringsLost;
    if (textsApart) {
      // The bit size counts from its own field on.
      const std::uint64_t sizeField = reader.position();
      const std::uint64_t bitSize = reader.readRL();
      // Only the evidence needs the texts.
      if (evidence != nullptr && !reader.failed() &&
          !openStringStream(data, reader.position(), sizeField + bitSize, strings_))
        stringsLost = makeError(ErrorKind::kCorrupt, "the header's texts cannot be found", 0, std::string(kHeaderName));
    }
    if (reader.failed())
      return makeError(ErrorKind::kTruncated, "header variables cut short", 0, std::string(kHeaderName));

    Status later = stringsLost;
    bool textsReadable = (evidence != nullptr || !textsApart) && stringsLost.ok();
    for (const HeaderField& field : kHeaderFields) {
      if (release_ < field.from || release_ > field.to) continue;
      BitReader* texts = !textsApart ? &reader : textsReadable ? &strings_ : nullptr;
      text_.reset();
      read(field, reader, texts);
      if (reader.failed()) {
        Status s = makeError(ErrorKind::kTruncated, std::string("header variable ") + field.name + " cut short",
                             reader.position() / 8, std::string(kHeaderName));
        if (evidence == nullptr || !readCreated_) return s;
        // The summary stands; what the evidence lacks is said.
        if (laterStatus != nullptr) *laterStatus = std::move(s);
        return Status::Ok();
      }
      if (textsApart && textsReadable && strings_.failed()) {
        textsReadable = false;
        if (later.ok())
          later = makeError(ErrorKind::kCorrupt, std::string("header text ") + field.name + " cannot be read", 0,
                            std::string(kHeaderName));
      }
      if (field.slot == Slot::kCreated) {
        created = date_;
        readCreated_ = true;
        if (!validDate(created))
          return makeError(ErrorKind::kCorrupt, "creation date out of range", reader.position() / 8,
                           std::string(kHeaderName));
        if (evidence == nullptr) return Status::Ok();
      } else if (evidence != nullptr && field.slot != Slot::kNone) {
        if (!keep(field, *evidence) && later.ok())
          later = makeError(ErrorKind::kCorrupt, std::string("header variable ") + field.name + " out of range",
                            reader.position() / 8, std::string(kHeaderName));
      }
    }
    if (laterStatus != nullptr) *laterStatus = later;
    return Status::Ok();
  }

 private:
  // Reads one field; `texts` is where its texts are (null: not read).
  void read(const HeaderField& field, BitReader& r, BitReader* texts) {
    const bool handlesApart = release_ >= Release::kR2007;
    switch (field.code) {
      case Code::kB: r.readB(); break;
      case Code::kBS: r.readBS(); break;
      case Code::kBL: r.readBL(); break;
      case Code::kBLL: r.readBLL(); break;
      case Code::kBD: r.readBD(); break;
      case Code::kRC: r.readRC(); break;
      case Code::k2RD: r.readRD(), r.readRD(); break;
      case Code::k3BD: r.readBD(), r.readBD(), r.readBD(); break;
      case Code::kTV:
        if (texts != nullptr) readText(field, *texts);
        break;
      case Code::kH:
        if (!handlesApart) r.readH();
        break;
      case Code::kCMC: readColor(r, texts); break;
      case Code::kDate:
        date_.days = r.readBL();
        date_.milliseconds = r.readBL();
        break;
      case Code::kHandseed: handseed_ = r.readH().value; break;
      case Code::kPlotStyleType: plotStyleType_ = r.readBS(); break;
      case Code::kPlotStyleHandle:
        if (plotStyleType_ == kPlotStyleByHandle && !handlesApart) r.readH();
        break;
    }
  }

  // A text in the data (before R2007) or in the string stream.
  void readText(const HeaderField& field, BitReader& texts) {
    const bool unicode = release_ >= Release::kR2007;
    if (field.slot == Slot::kNone) {
      unicode ? texts.skipTU() : texts.skipTV();
    } else if (unicode) {
      text_ = utf16ToUtf8(texts.readTUUnits());
    } else {
      const std::string bytes = texts.readTVBytes();
      text_ = codePageToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                             sections_.codePage);
    }
    if (texts.failed()) text_.reset();
  }

  // CMC: a colour index before R2004; then index, RGB, a byte telling which
  // names follow, and the names.
  void readColor(BitReader& r, BitReader* texts) {
    r.readBS();
    if (release_ < Release::kR2004) return;
    r.readBL();
    const std::uint8_t names = r.readRC();
    if (texts == nullptr) return;
    const bool unicode = release_ >= Release::kR2007;
    for (const std::uint8_t bit : {std::uint8_t{1}, std::uint8_t{2}}) {
      if ((names & bit) == 0) continue;
      unicode ? texts->skipTU() : texts->skipTV();
    }
  }

  // Stores the field just read; false when its value cannot be right.
  bool keep(const HeaderField& field, Evidence& evidence) const {
    switch (field.slot) {
      case Slot::kUpdated:
      case Slot::kEditingTime:
      case Slot::kUserTimer: {
        if (!validDate(date_)) return false;
        auto& target = field.slot == Slot::kUpdated       ? evidence.updated
                       : field.slot == Slot::kEditingTime ? evidence.editingTime
                                                          : evidence.userTimer;
        target = date_;
        return true;
      }
      case Slot::kHandseed: evidence.handseed = handseed_; return true;
      case Slot::kFingerprintGuid: evidence.fingerprintGuid = text_; return true;
      case Slot::kVersionGuid: evidence.versionGuid = text_; return true;
      case Slot::kNone:
      case Slot::kCreated: return true;
    }
    return true;
  }

  const Sections& sections_;
  Release release_;
  BitReader strings_;
  StoredDate date_;
  std::uint64_t handseed_ = 0;
  std::int16_t plotStyleType_ = 0;
  std::optional<std::string> text_;  // the last text read, when it could be
  bool readCreated_ = false;
};

}  // namespace

Status readHeaderSection(const Sections& sections, Release release, StoredDate& created) {
  return HeaderWalker(sections, release).walk(created, nullptr, nullptr);
}

Status readHeaderEvidence(const Sections& sections, Release release, Evidence& evidence, Status& damage) {
  StoredDate created;
  damage = Status::Ok();
  return HeaderWalker(sections, release).walk(created, &evidence, &damage);
}

}  // namespace veldra::dwg::detail
