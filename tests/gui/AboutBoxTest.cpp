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
  // The title is 27 pixels high (its em height, whatever the screen's resolution), bold and
  // underlined, and fits as it is.
  const QFont title = form.findChild<QLabel*>("lblProduct")->font();
  EXPECT_EQ(title.pixelSize(), 27);
  EXPECT_EQ(QFontInfo(title).pixelSize(), 27);
  EXPECT_TRUE(title.bold());
  EXPECT_TRUE(title.underline());
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
