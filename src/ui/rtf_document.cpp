#include "ui/rtf_document.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "app/textfile.h"
#include "app/utf8_text.h"
#include "ui/qt_text.h"

namespace veldra {

namespace {

Qt::Alignment toQt(rtf::Alignment alignment) {
  switch (alignment) {
    case rtf::Alignment::Centre:
      return Qt::AlignHCenter;
    case rtf::Alignment::Right:
      return Qt::AlignRight;
    case rtf::Alignment::Justify:
      return Qt::AlignJustify;
    case rtf::Alignment::Left:
      break;
  }
  return Qt::AlignLeft;
}

QTextCharFormat toQt(const rtf::Document& model, const rtf::CharFormat& format) {
  QTextCharFormat out;
  const std::string family = model.fontFamily(format);
  if (!family.empty()) out.setFontFamilies({QString::fromUtf8(family.data(), static_cast<qsizetype>(family.size()))});
  out.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
  out.setFontItalic(format.italic);
  out.setFontUnderline(format.underline);
  out.setFontPointSize(format.halfPoints / 2.0);
  return out;
}

}  // namespace

void fillTextDocument(QTextDocument& target, const rtf::Document& model) {
  target.clear();
  QTextCursor cursor(&target);
  bool first = true;
  for (const rtf::Paragraph& paragraph : model.paragraphs) {
    QTextBlockFormat block;
    block.setAlignment(toQt(paragraph.alignment));
    if (first) {
      cursor.setBlockFormat(block);
      first = false;
    } else {
      cursor.insertBlock(block);
    }
    for (const rtf::Run& run : paragraph.runs) {
      QString text = QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size()));
      text.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
      cursor.insertText(text, toQt(model, run.format));
    }
  }
}

bool loadDocumentFile(QTextEdit& view, const std::filesystem::path& file) {
  const std::optional<std::string> bytes = readWholeFile(file);
  if (!bytes) return false;
  if (rtf::looksLikeRtf(*bytes)) {
    view.clear();
    fillTextDocument(*view.document(), rtf::parse(*bytes));
  } else {
    // A report as stored: UTF-8, or the ANSI code page of an older program.
    view.setPlainText(qtText(textFromStoredBytes(*bytes)));
  }
  view.moveCursor(QTextCursor::Start);
  return true;
}

bool TextEditViewer::loadFile(const std::filesystem::path& file) {
  if (!loadDocumentFile(edit_, file)) return false;
  fileName_ = file;
  return true;
}

void TextEditViewer::setText(const std::string& text) {
  edit_.setPlainText(qtText(text));
  fileName_.clear();
}

}  // namespace veldra
