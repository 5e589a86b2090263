// Prints a report to PDF through the real Qt surface and checks where the
// page's parts land.
#include <QFontInfo>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <map>

#include "app/textfile.h"
#include "support/temp_dir.h"
#include "ui/qt_print_surface.h"

namespace veldra {
namespace {

using testing::TempDir;

class OneCopy : public PrintDialog {
 public:
  std::optional<int> ask() override { return 1; }
};

struct Word {
  QString text;
  double x, y;  // top-left corner in points
};

std::vector<Word> wordsOf(const QString& pdf) {
  QProcess run;
  run.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
  run.waitForFinished(30000);
  const QString html = QString::fromUtf8(run.readAllStandardOutput());
  static const QRegularExpression word(
      QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
  std::vector<Word> words;
  for (auto it = word.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    words.push_back({m.captured(3), m.captured(1).toDouble(), m.captured(2).toDouble()});
  }
  return words;
}

TEST(QtPrint, ReportPageLandsWhereTheLayoutSays) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() ||
      QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
    GTEST_SKIP() << "poppler-utils not installed";
  TempDir dir;
  QImage logo(250, 200, QImage::Format_RGB32);
  logo.fill(QColor(0, 0, 200));
  const auto logoFile = dir.path() / "logo.jpg";
  ASSERT_TRUE(logo.save(QString::fromStdString(logoFile.string()), "JPG"));
  const PrintRequest request{
      dir.write("r.tim", quotedLine("Alpha.dwg, Beta.dwg") + quotedLine("Gamma.dwg")),
      "Time Conflicts", logoFile, "06/12/2026"};

  const QString pdf = QString::fromStdString((dir.path() / "out.pdf").string());
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  printer.setPageSize(QPageSize(QPageSize::Letter));
  printer.setFullPage(true);  // printable area = page, so inches are page inches
  OneCopy dialog;
  QtPrintSurface surface(printer);
  ASSERT_EQ(printReport(request, dialog, surface).status, PrintStatus::Printed);

  std::map<QString, Word> first;
  for (const Word& w : wordsOf(pdf)) first.try_emplace(w.text, w);
  // pdftotext gives each word's line box; allow a point and a half.
  const auto expectAt = [&](const QString& text, double xIn, double yIn) {
    ASSERT_TRUE(first.count(text)) << text.toStdString();
    EXPECT_NEAR(first[text].x, xIn * 72, 1.5) << text.toStdString();
    EXPECT_NEAR(first[text].y, yIn * 72, 1.5) << text.toStdString();
  };
  expectAt("VELDRA", 1.5, 0.65);
  expectAt("Time", 0.5, 1.5);
  expectAt("Alpha.dwg,", 0.5, 1.8);
  expectAt("Printed", 0.5, 10.425);
  ASSERT_TRUE(first.count("Gamma.dwg"));
  // One line of 8-point Courier (about 9 points) plus an eighth of an inch.
  EXPECT_NEAR(first["Gamma.dwg"].y - first["Alpha.dwg,"].y, 9 + 9, 1.0);
  EXPECT_TRUE(first.count("06/12/2026"));

  // The logo: the blue rectangle of a page rendered at 72 dots per inch.
  const QString png = QString::fromStdString((dir.path() / "page").string());
  ASSERT_EQ(QProcess::execute(QStringLiteral("pdftoppm"),
                              {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("72"),
                               QStringLiteral("-singlefile"), pdf, png}),
            0);
  const QImage page(png + QStringLiteral(".png"));
  ASSERT_FALSE(page.isNull());
  int left = page.width(), top = page.height(), right = -1, bottom = -1;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 130; ++x)
      if (qBlue(page.pixel(x, y)) > 150 && qRed(page.pixel(x, y)) < 80) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
  EXPECT_NEAR(left, 18, 1.5);
  EXPECT_NEAR(top, 18, 1.5);
  EXPECT_NEAR(right + 1, 18 + 90, 1.5);
  EXPECT_NEAR(bottom + 1, 18 + 72, 1.5);
}

TEST(QtPrint, PrintedFontsResolveToMetricTwins) {
  const auto family = [](const char* name, bool bold) {
    return QFontInfo(QtPrintSurface::resolveFont(name, 10, bold)).family();
  };
  EXPECT_EQ(family("COURIER", false), "Liberation Mono");
  EXPECT_EQ(family("ARIAL", true), "Liberation Sans");
  const QFont black = QtPrintSurface::resolveFont("ARIAL BLACK", 16, false);
  EXPECT_FALSE(black.italic() || black.underline() || black.strikeOut());
  EXPECT_GE(QFontInfo(black).weight(), QFont::Bold);
}

}  // namespace
}  // namespace veldra
