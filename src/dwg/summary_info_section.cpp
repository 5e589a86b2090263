// AcDb:SummaryInfo (R2004 and later): the drawing's properties as the CAD
// program's properties dialog shows them. Eight texts come first, each a
// 16-bit length and its characters (bytes in the drawing's code page for
// R2004, UTF-16 units from R2007 on) ending with a NUL; dates and custom
// properties follow, which the evidence does not need.

#include <string>

#include "format.h"
#include "text_codec.h"

namespace veldra::dwg::detail {

Status readSummaryInfo(std::span<const std::uint8_t> section, Release release, std::uint16_t codePage,
                       SummaryInfo& out) {
  out = SummaryInfo{};
  const std::string name(kSummaryInfoName);
  const bool unicode = release >= Release::kR2007;
  const std::size_t unit = unicode ? 2 : 1;
  std::string* const fields[] = {&out.title,    &out.subject,     &out.author,         &out.keywords,
                                 &out.comments, &out.lastSavedBy, &out.revisionNumber, &out.hyperlinkBase};
  std::size_t at = 0;
  for (std::string* field : fields) {
    if (section.size() - at < 2) return makeError(ErrorKind::kTruncated, "summary information cut short", at, name);
    const std::size_t length = section[at] | (section[at + 1] << 8);
    at += 2;
    if ((section.size() - at) / unit < length)
      return makeError(ErrorKind::kTruncated, "summary information text cut short", at - 2, name);
    const auto stored = section.subspan(at, length * unit);
    at += length * unit;
    if (unicode) {
      std::u16string units(length, u'\0');
      for (std::size_t i = 0; i < length; ++i)
        units[i] = static_cast<char16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
      units.resize(std::min(units.size(), units.find(u'\0')));
      *field = utf16ToUtf8(units);
    } else {
      std::size_t end = 0;
      while (end < stored.size() && stored[end] != 0) ++end;
      *field = codePageToUtf8(stored.first(end), codePage);
    }
  }
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
