#include "reports/rtf/rtf_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace veldra::rtf {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Code page 1252 differs from Latin-1 only in 0x80..0x9F; five of those
// bytes have no character and read as the replacement character.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, kReplacement, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030,       0x0160, 0x2039, 0x0152, kReplacement, 0x017D, kReplacement,
    kReplacement, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122,       0x0161, 0x203A, 0x0153, kReplacement, 0x017E, 0x0178};

char32_t fromCp1252(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Groups whose content is not part of the visible text.
constexpr std::array<std::string_view, 27> kSkippedDestinations = {
    "colortbl",  "stylesheet", "info",      "pict",       "object",
    "fldinst",  "listtable", "listoverridetable", "rsidtbl", "generator", "xmlnstbl",
    "themedata", "colorschememapping", "datastore", "latentstyles", "pgdsctbl", "filetbl",
    "revtbl",   "header",    "headerl",    "headerr",   "headerf",    "footer",
    "footerl",  "footerr",   "footerf",    "footnote"};

constexpr std::array<std::string_view, 7> kUnderlineOn = {"ul",   "uld",    "uldb",  "ulw",
                                                          "ulth", "uldash", "ulwave"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& words, std::string_view word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Names in the font table are short; longer ones are cut.
constexpr std::size_t kMaxFontName = 64;

struct GroupState {
  CharFormat format;
  Alignment alignment = Alignment::Left;
  int unicodeSkip = 1;  // characters that stand in for each \uN
  bool skipping = false;
  bool fontTable = false;  // inside the font table: text is font names
};

class Parser {
 public:
  explicit Parser(std::string_view in) : in_(in) {}

  Document run() {
    bool opened = false;
    while (pos_ < in_.size()) {
      const char c = in_[pos_++];
      if (c == '{') {
        openGroup();
        opened = true;
      } else if (c == '}') {
        closeGroup();
        if (opened && stack_.empty() && overflow_ == 0) break;  // the document's group ended
      } else if (c == '\\') {
        controlSequence();
      } else {
        textByte(static_cast<unsigned char>(c));
      }
    }
    if (!stack_.empty() || overflow_ > 0) doc_.complete = false;
    flushSurrogate();
    if (!para_.runs.empty()) doc_.paragraphs.push_back(std::move(para_));
    return std::move(doc_);
  }

 private:
  bool ignoring() const { return stack_.empty() || overflow_ > 0 || stack_.back().skipping; }
  GroupState& state() { return stack_.back(); }

  void openGroup() {
    pendingSkip_ = 0;
    if (overflow_ > 0 || stack_.size() >= kMaxGroupDepth) {
      ++overflow_;
      doc_.complete = false;
      return;
    }
    stack_.push_back(stack_.empty() ? GroupState{} : stack_.back());
  }

  void closeGroup() {
    pendingSkip_ = 0;
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    if (!stack_.empty()) stack_.pop_back();
  }

  // Reads what follows a backslash.
  void controlSequence() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (!isLetter(c)) {
      ++pos_;
      controlSymbol(c);
      return;
    }
    const std::size_t start = pos_;
    while (pos_ < in_.size() && isLetter(in_[pos_])) ++pos_;
    const std::string_view word = in_.substr(start, pos_ - start);
    bool hasParam = false;
    long long param = 0;
    bool negative = false;
    if (pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    while (pos_ < in_.size() && isDigit(in_[pos_])) {
      // Digits beyond what a 32-bit parameter holds are read and dropped.
      if (param < 100000000000LL) param = param * 10 + (in_[pos_] - '0');
      hasParam = true;
      ++pos_;
    }
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    if (negative) param = -param;
    param = std::clamp<long long>(param, INT32_MIN, INT32_MAX);
    controlWord(word, hasParam, static_cast<int>(param));
  }

  void controlSymbol(char c) {
    if (c == '\'') {
      int value = -1;
      if (pos_ + 1 < in_.size()) {
        const int hi = hexValue(in_[pos_]);
        const int lo = hexValue(in_[pos_ + 1]);
        if (hi >= 0 && lo >= 0) {
          value = hi * 16 + lo;
          pos_ += 2;
        }
      }
      if (value < 0 || ignoring()) return;
      if (state().fontTable) {
        fontNameByte(fromCp1252(static_cast<unsigned char>(value)));
        return;
      }
      if (consumeSkip()) return;
      emit(fromCp1252(static_cast<unsigned char>(value)));
      return;
    }
    if (c == '*') {
      if (!stack_.empty() && overflow_ == 0) state().skipping = true;
      return;
    }
    if (ignoring() || state().fontTable || consumeSkip()) return;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        emit(static_cast<char32_t>(c));
        break;
      case '~':
        emit(0x00A0);
        break;
      case '_':
        emit(0x2011);
        break;
      case '\r':
      case '\n':
        endParagraph();
        break;
      default:  // optional hyphen, index marks and unknown symbols show nothing
        break;
    }
  }

  void controlWord(std::string_view word, bool hasParam, int param) {
    if (word == "bin") {
      // Binary data follows: skip it whatever the state, so that its bytes are
      // never read as text or braces.
      const std::size_t count = hasParam && param > 0 ? static_cast<std::size_t>(param) : 0;
      pos_ += std::min(count, in_.size() - pos_);
      return;
    }
    if (ignoring()) return;
    if (contains(kSkippedDestinations, word)) {
      state().skipping = true;
      return;
    }
    if (word == "fonttbl") {
      state().fontTable = true;
      return;
    }
    if (state().fontTable) {
      fontTableWord(word, hasParam, param);
      return;
    }
    if (consumeSkip()) return;
    GroupState& s = state();
    const bool on = !hasParam || param != 0;
    if (word == "par" || word == "sect" || word == "page" || word == "row") {
      endParagraph();
    } else if (word == "line") {
      emitText("\n");
    } else if (word == "tab" || word == "cell") {
      emitText("\t");
    } else if (word == "b") {
      s.format.bold = on;
    } else if (word == "i") {
      s.format.italic = on;
    } else if (contains(kUnderlineOn, word)) {
      s.format.underline = on;
    } else if (word == "ulnone") {
      s.format.underline = false;
    } else if (word == "fs") {
      s.format.halfPoints = hasParam && param > 0 ? std::min(param, 3276) : CharFormat{}.halfPoints;
    } else if (word == "plain") {
      s.format = CharFormat{};
    } else if (word == "f") {
      s.format.font = hasParam ? param : -1;
    } else if (word == "deff") {
      if (hasParam) doc_.defaultFont = param;
    } else if (word == "pard") {
      s.alignment = Alignment::Left;
    } else if (word == "ql") {
      s.alignment = Alignment::Left;
    } else if (word == "qc") {
      s.alignment = Alignment::Centre;
    } else if (word == "qr") {
      s.alignment = Alignment::Right;
    } else if (word == "qj") {
      s.alignment = Alignment::Justify;
    } else if (word == "uc") {
      s.unicodeSkip = hasParam ? std::clamp(param, 0, 255) : 1;
    } else if (word == "u") {
      if (!hasParam) return;
      emitUnicode(param < 0 ? static_cast<char32_t>(param + 65536) : static_cast<char32_t>(param));
      pendingSkip_ = s.unicodeSkip;
    } else if (word == "emdash") {
      emit(0x2014);
    } else if (word == "endash") {
      emit(0x2013);
    } else if (word == "bullet") {
      emit(0x2022);
    } else if (word == "lquote") {
      emit(0x2018);
    } else if (word == "rquote") {
      emit(0x2019);
    } else if (word == "ldblquote") {
      emit(0x201C);
    } else if (word == "rdblquote") {
      emit(0x201D);
    } else if (word == "emspace") {
      emit(0x2003);
    } else if (word == "enspace") {
      emit(0x2002);
    }
    // Every other word (fonts, colours, spacing, the header words) changes
    // nothing this reader keeps.
  }

  // Inside the font table each entry is "\fN ... Name;".
  void fontTableWord(std::string_view word, bool hasParam, int param) {
    if (word == "f" && hasParam) {
      fontNumber_ = param;
      fontName_.clear();
    }
  }

  void fontNameByte(char32_t cp) {
    if (cp == ';') {
      std::string name = trimmed(fontName_);
      if (fontNumber_ && !name.empty()) doc_.fonts.try_emplace(*fontNumber_, std::move(name));
      fontNumber_.reset();
      fontName_.clear();
    } else if (fontNumber_ && fontName_.size() < kMaxFontName && cp >= 0x20) {
      appendUtf8(fontName_, cp);
    }
  }

  static std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
  }

  void textByte(unsigned char byte) {
    if (ignoring()) return;
    if (state().fontTable) {
      fontNameByte(fromCp1252(byte));
      return;
    }
    if (byte == '\r' || byte == '\n') return;
    if (consumeSkip()) return;
    if (byte == '\t') {
      emitText("\t");
    } else if (byte >= 0x20) {
      emit(fromCp1252(byte));
    }
  }

  // The characters after \uN that stand in for readers without Unicode.
  bool consumeSkip() {
    if (pendingSkip_ <= 0) return false;
    --pendingSkip_;
    return true;
  }

  void emitUnicode(char32_t cp) {
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      flushSurrogate();
      highSurrogate_ = cp;
      return;
    }
    if (cp >= 0xDC00 && cp <= 0xDFFF) {
      if (highSurrogate_ != 0) {
        const char32_t full = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (cp - 0xDC00);
        highSurrogate_ = 0;
        emit(full);
      } else {
        emit(kReplacement);
      }
      return;
    }
    if (cp == '\t') {
      emitText("\t");
    } else if (cp >= 0x20) {
      emit(cp);
    }
  }

  void flushSurrogate() {
    if (highSurrogate_ == 0) return;
    highSurrogate_ = 0;
    std::string text;
    appendUtf8(text, kReplacement);
    appendToRun(text);
  }

  void emit(char32_t cp) {
    std::string text;
    appendUtf8(text, cp);
    emitText(text);
  }

  void emitText(std::string_view text) {
    flushSurrogate();
    appendToRun(text);
  }

  void appendToRun(std::string_view text) {
    if (stack_.empty()) return;
    const GroupState& s = stack_.back();
    para_.alignment = s.alignment;
    if (para_.runs.empty() || !(para_.runs.back().format == s.format)) {
      para_.runs.push_back(Run{std::string(text), s.format});
    } else {
      para_.runs.back().text += text;
    }
  }

  void endParagraph() {
    flushSurrogate();
    para_.alignment = state().alignment;
    doc_.paragraphs.push_back(std::move(para_));
    para_ = Paragraph{};
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  std::vector<GroupState> stack_;
  std::size_t overflow_ = 0;  // groups opened beyond the depth limit
  int pendingSkip_ = 0;
  std::optional<int> fontNumber_;  // the font-table entry being read
  std::string fontName_;
  char32_t highSurrogate_ = 0;
  Paragraph para_;
  Document doc_;
};

}  // namespace

std::string Document::fontFamily(const CharFormat& format) const {
  const auto it = fonts.find(format.font < 0 ? defaultFont : format.font);
  return it == fonts.end() ? std::string() : it->second;
}

bool looksLikeRtf(std::string_view bytes) { return bytes.starts_with("{\\rtf"); }

Document parse(std::string_view bytes) { return Parser(bytes).run(); }

std::string plainText(const Document& document) {
  std::string out;
  for (const Paragraph& p : document.paragraphs) {
    for (const Run& r : p.runs) out += r.text;
    out += '\n';
  }
  return out;
}

}  // namespace veldra::rtf
