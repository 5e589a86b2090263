// Prints a report to PDF through the real Qt surface and checks where the
// page's parts land.
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

class OneCopy : public PrintDialog {
 public:
  std::optional<int> ask() override { return 1; }
};

// The top-left corner, in points, of each word's first occurrence.
std::map<QString, QPointF> wordsOf(const QString& pdf) {
  QProcess run;
  run.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
  run.waitForFinished(30000);
  const QString html = QString::fromUtf8(run.readAllStandardOutput());
  static const QRegularExpression word(
      QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
  std::map<QString, QPointF> words;
  for (auto it = word.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    words.try_emplace(m.captured(3), m.captured(1).toDouble(), m.captured(2).toDouble());
  }
  return words;
}

TEST(QtPrint, ReportPageLandsWhereTheLayoutSays) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() ||
      QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
    GTEST_SKIP() << "pdftotext or pdftoppm not found (Debian package poppler-utils)";
  testing::TempDir dir;
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

  auto words = wordsOf(pdf);
  // pdftotext gives each word's line box; allow a point and a half.
  const auto expectAt = [&](const QString& text, double xIn, double yIn) {
    ASSERT_TRUE(words.count(text)) << text.toStdString();
    EXPECT_NEAR(words[text].x(), xIn * 72, 1.5) << text.toStdString();
    EXPECT_NEAR(words[text].y(), yIn * 72, 1.5) << text.toStdString();
  };
  expectAt("VELDRA", 1.5, 0.65);
  expectAt("Time", 0.5, 1.5);
  expectAt("Alpha.dwg,", 0.5, 1.8);
  expectAt("Printed", 0.5, 10.425);
  // One line of 8-point Courier (about 9 points) plus an eighth of an inch.
  expectAt("Gamma.dwg", 0.5, 1.8 + (9 + 9) / 72.0);
  EXPECT_TRUE(words.count("06/12/2026"));

  // The logo: the blue rectangle of a page rendered at 72 dots per inch.
  const QString png = QString::fromStdString((dir.path() / "page").string());
  ASSERT_EQ(QProcess::execute(QStringLiteral("pdftoppm"),
                              {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("72"),
                               QStringLiteral("-singlefile"), pdf, png}),
            0);
  const QImage page(png + QStringLiteral(".png"));
  ASSERT_FALSE(page.isNull());
  QRect blue;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 130; ++x)
      if (qBlue(page.pixel(x, y)) > 150 && qRed(page.pixel(x, y)) < 80) blue |= QRect(x, y, 1, 1);
  EXPECT_NEAR(blue.left(), 18, 1.5);
  EXPECT_NEAR(blue.top(), 18, 1.5);
  EXPECT_NEAR(blue.width(), 90, 1.5);
  EXPECT_NEAR(blue.height(), 72, 1.5);
}

}  // namespace
}  // namespace veldra
