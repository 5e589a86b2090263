#include "ui/about_page.h"

#include <QLabel>
#include <QPainter>
#include <QTextEdit>

#include "ui/classic_controls.h"
#include "ui/rtf_document.h"
#include "ui/splash.h"
#include "ui/twips.h"

namespace veldra {

namespace {

constexpr const char* kAboutNotFound = "About document not found...";

// The page's banner, drawn here so the window needs no image file.
QPixmap drawnBanner(QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(QColor(0x00, 0x00, 0x80));
  QPainter painter(&pixmap);
  painter.setPen(Qt::white);
  painter.setFont(arial(14, true));
  painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("VELDRA 2006"));
  return pixmap;
}

}  // namespace

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  banner_ = place(new QLabel(this), "Picture2", twipsRect(1800, 240, 3375, 435));
  const QPixmap installed = installedPicture(QStringLiteral("banner.png"));
  banner_->setPixmap(installed.isNull() ? drawnBanner(banner_->size())
                                        : installed.scaled(banner_->size(), Qt::KeepAspectRatio,
                                                           Qt::SmoothTransformation));
  banner_->setAlignment(Qt::AlignCenter);
  text_ = place(new QTextEdit(this), "RichTextBox2", twipsRect(480, 840, 5895, 1455));
  text_->setReadOnly(true);
  text_->setFont(arial(6, false));
  text_->setPlainText(QStringLiteral("About VELDRA 2006"));
}

void AboutPage::showDocument(const std::filesystem::path& file) {
  if (!loadDocumentFile(*text_, file)) text_->setPlainText(QString::fromLatin1(kAboutNotFound));
}

}  // namespace veldra
