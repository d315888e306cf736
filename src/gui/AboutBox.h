#pragma once
// The About box: the product's title, version, addresses and notice line.
#include <QDialog>

#include "core/ProductInfo.h"

class QLabel;

namespace rw {

class TAboutForm : public QDialog {
  Q_OBJECT
public:
  explicit TAboutForm(const TProductInfo& Info, QWidget* Parent = nullptr);

  // Largest size of the title label; its font shrinks a point at a time until it fits.
  static constexpr int MaxTitleWidth = 260;
  static constexpr int MaxTitleHeight = 35;

private:
  void lblSiteClick();
  void lblMailClick();
  void FitTitle();

  TProductInfo FInfo;
  QLabel* lblProduct;
  QLabel* lblVersion;
  QLabel* lblMail;
  QLabel* lblSite;
};

// Shows the About box of Info modally, centred on the active window.
void ShowAbout(const TProductInfo& Info);

}  // namespace rw
