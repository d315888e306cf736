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

  // The title's font size in pixels (its em height), and the largest size of the title label:
  // a title that does not fit is drawn a point smaller at a time until it fits. The height
  // holds a line of the Arial-metric fonts at 27 pixels: Liberation Sans needs 31, DejaVu Sans
  // 32 and the URW fonts' Nimbus Sans, with its taller line spacing, 38.
  static constexpr int TitlePixels = 27;
  static constexpr int MaxTitleWidth = 260;
  static constexpr int MaxTitleHeight = 40;

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
