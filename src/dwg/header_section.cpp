// AcDb:Header: the header variables, read in file order as the layout's
// table declares them, each with its data code and the releases that store
// it. The summary stops at TDCREATE; the evidence reads on to VERSIONGUID.
//
// From R2007 on a header keeps its texts in a string stream at the end of
// its data and its handle references after that; HANDSEED alone stays in the
// data.

#include <optional>

#include "bit_reader.h"
#include "format.h"
#include "text_codec.h"
#include "veldra/dwg/layout.h"

namespace veldra::dwg::detail {
namespace {

using layout::Code;
using layout::HeaderField;
using layout::Slot;

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
  Status walk(std::span<const HeaderField> fields, StoredDate& created, Evidence* evidence, Status* laterStatus) {
    const std::span<const std::uint8_t> data(sections_.header);
    BitReader reader(data);
    reader.skip(kSentinelSize * 8);
    const std::uint32_t size = reader.readRL();
    if (release_ >= Release::kR2018 || (release_ >= Release::kR2010 && sections_.maintenance > 3)) reader.readRL();
    if (reader.failed() || size > data.size())
      return makeError(ErrorKind::kTruncated, "header variables cut short", 0, std::string(kHeaderName));
    dataEnd_ = reader.position() + std::uint64_t{size} * 8;
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
      else if (!stringsLost.ok() || evidence == nullptr)
        dataEnd_ = 0;
      else
        dataEnd_ = strings_.position();
    }
    if (reader.failed())
      return makeError(ErrorKind::kTruncated, "header variables cut short", 0, std::string(kHeaderName));

    Status later = stringsLost;
    bool textsReadable = (evidence != nullptr || !textsApart) && stringsLost.ok();
    for (const HeaderField& field : fields) {
      if (!field.storedIn(release_)) continue;
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
    unreadBits_ = dataEnd_ > reader.position() ? dataEnd_ - reader.position() : 0;
    return Status::Ok();
  }

  // The bits the data holds past the last field walked.
  std::uint64_t unreadBits() const { return unreadBits_; }

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
  std::uint64_t dataEnd_ = 0;
  std::uint64_t unreadBits_ = 0;
};

}  // namespace

Status readHeaderSection(const Sections& sections, Release release, StoredDate& created) {
  return HeaderWalker(sections, release).walk(layout::evidenceFields(), created, nullptr, nullptr);
}

Status readHeaderEvidence(const Sections& sections, Release release, Evidence& evidence, Status& damage) {
  StoredDate created;
  damage = Status::Ok();
  return HeaderWalker(sections, release).walk(layout::evidenceFields(), created, &evidence, &damage);
}

Status readWholeHeader(const Sections& sections, Release release, StoredDate& created, Evidence& evidence,
                       Status& damage, std::uint64_t& unreadBits) {
  damage = Status::Ok();
  HeaderWalker walker(sections, release);
  const Status status = walker.walk(layout::headerFields(), created, &evidence, &damage);
  unreadBits = walker.unreadBits();
  return status;
}

}  // namespace veldra::dwg::detail
