#include <QFontInfo>
#include <QLabel>
#include <gtest/gtest.h>

#include "gui/AboutBox.h"

namespace rw {
namespace {

TEST(About, ShowsTheProductInformation) {
  TAboutForm form(ProductInfo());
  EXPECT_EQ(form.windowTitle(), "About");
  EXPECT_EQ(form.findChild<QLabel*>("lblProduct")->text(), "Reelwright");
  EXPECT_EQ(form.findChild<QLabel*>("lblVersion")->text(), "Version: 2.00");
  EXPECT_EQ(form.findChild<QLabel*>("lblSite")->text().toStdString(), ProductInfo().SiteURL);
  EXPECT_EQ(form.findChild<QLabel*>("lblMail")->text().toStdString(), ProductInfo().ContactsURL);
  // The title is bold and underlined, 27 pixels high (its em height, whatever the screen's
  // resolution) when it fits the label so with the font this machine gives for Arial, else
  // whole points smaller until it does. The fonts the window is laid out for fit at 27.
  auto* label = form.findChild<QLabel*>("lblProduct");
  const QFont title = label->font();
  EXPECT_TRUE(title.bold());
  EXPECT_TRUE(title.underline());
  QFont designed("Arial");
  designed.setPixelSize(TAboutForm::TitlePixels);
  designed.setBold(true);
  designed.setUnderline(true);
  QLabel probe(label->text());
  probe.setFont(designed);
  probe.adjustSize();
  const bool fits =
      probe.width() <= TAboutForm::MaxTitleWidth && probe.height() <= TAboutForm::MaxTitleHeight;
  const QString family = QFontInfo(designed).family();
  if (family == "Liberation Sans" || family == "DejaVu Sans" || family.startsWith("Nimbus Sans")) {
    EXPECT_TRUE(fits) << family.toStdString() << " " << probe.width() << "x" << probe.height();
  }
  if (fits) {
    EXPECT_EQ(title.pixelSize(), 27);
    EXPECT_EQ(QFontInfo(title).pixelSize(), 27);
  } else {
    EXPECT_LT(QFontInfo(title).pixelSize(), 27);
    EXPECT_EQ(title.pixelSize(), -1);  // set in points
  }
  EXPECT_LE(label->width(), TAboutForm::MaxTitleWidth);
  EXPECT_LE(label->height(), TAboutForm::MaxTitleHeight);
}

TEST(About, ALongTitleShrinksUntilItFits) {
  TProductInfo info = ProductInfo();
  info.Title = "Reelwright Professional Studio Edition";
  TAboutForm form(info);
  auto* title = form.findChild<QLabel*>("lblProduct");
  EXPECT_LT(QFontInfo(title->font()).pixelSize(), TAboutForm::TitlePixels);
  EXPECT_LE(title->width(), TAboutForm::MaxTitleWidth);
  EXPECT_LE(title->height(), TAboutForm::MaxTitleHeight);
  // One point larger would not have fitted.
  QFont larger = title->font();
  larger.setPointSize(larger.pointSize() + 1);
  QLabel probe(title->text());
  probe.setFont(larger);
  probe.adjustSize();
  EXPECT_TRUE(probe.width() > TAboutForm::MaxTitleWidth ||
              probe.height() > TAboutForm::MaxTitleHeight);
}

}  // namespace
}  // namespace rw
