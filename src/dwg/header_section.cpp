// AcDb:Header: the header variables, read in file order up to TDCREATE. Only
// the creation date is kept; every field before it is declared once in the
// table below with its data code and the releases that store it.

#include "bit_reader.h"
#include "format.h"

namespace veldra::dwg::detail {
namespace {

enum class Code { kB, kBS, kBL, kBLL, kBD, kTV, kH, kCreatedDays, kCreatedMs };

struct HeaderField {
  const char* name;
  Code code;
  Release from = Release::kR13;
  Release to = Release::kR2018;
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
    {"MENUNAME", Code::kTV, kFirst, Release::kR2004},
    {"TDCREATE days", Code::kCreatedDays},
    {"TDCREATE milliseconds", Code::kCreatedMs},
};

constexpr std::size_t kSentinelSize = 16;

}  // namespace

Status readHeaderSection(const Sections& sections, Release release, StoredDate& created) {
  const std::span<const std::uint8_t> data(sections.header);
  BitReader reader(data);
  reader.skip(kSentinelSize * 8);
  const std::uint32_t size = reader.readRL();
  if (release >= Release::kR2018 || (release >= Release::kR2010 && sections.maintenance > 3)) reader.readRL();
  if (release >= Release::kR2007) reader.readRL();  // size in bits
  if (reader.failed() || size > data.size())
    return makeError(ErrorKind::kTruncated, "header variables cut short", 0, std::string(kHeaderName));

  // Since R2007 texts live in a separate string stream, which the fields
  // before TDCREATE do not need.
  const bool textsApart = release >= Release::kR2007;
  for (const HeaderField& field : kHeaderFields) {
    if (release < field.from || release > field.to) continue;
    switch (field.code) {
      case Code::kB: reader.readB(); break;
      case Code::kBS: reader.readBS(); break;
      case Code::kBL: reader.readBL(); break;
      case Code::kBLL: reader.readBLL(); break;
      case Code::kBD: reader.readBD(); break;
      case Code::kTV:
        if (!textsApart) reader.skipTV();
        break;
      case Code::kH: reader.readH(); break;
      case Code::kCreatedDays: created.days = reader.readBL(); break;
      case Code::kCreatedMs: created.milliseconds = reader.readBL(); break;
    }
    if (reader.failed())
      return makeError(ErrorKind::kTruncated, std::string("header variable ") + field.name + " cut short",
                       reader.position() / 8, std::string(kHeaderName));
  }
  if (created.milliseconds < 0 || created.milliseconds >= 86400000 || created.days < 0)
    return makeError(ErrorKind::kCorrupt, "creation date out of range", reader.position() / 8,
                     std::string(kHeaderName));
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
