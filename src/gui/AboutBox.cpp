#include "gui/AboutBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/QtStrings.h"

namespace rw {
namespace {

constexpr int MinTitlePoints = 6;

QLabel* AddressLabel(const std::string& Address, const char* Name, QWidget* Parent) {
  auto* label = new QLabel(TextToQ(Address), Parent);
  label->setObjectName(Name);
  label->setStyleSheet("color: blue; text-decoration: underline;");
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

// A label that reports clicks.
class TClickFilter : public QObject {
public:
  TClickFilter(QObject* Parent, std::function<void()> OnClick)
      : QObject(Parent), FOnClick(std::move(OnClick)) {}

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == QEvent::MouseButtonRelease) FOnClick();
    return QObject::eventFilter(Watched, Event);
  }

private:
  std::function<void()> FOnClick;
};

void OpenAddress(const std::string& Address) {
  // Nothing is reported when the desktop cannot open it.
  QDesktopServices::openUrl(QUrl(TextToQ(Address)));
}

}  // namespace

TAboutForm::TAboutForm(const TProductInfo& Info, QWidget* Parent) : QDialog(Parent), FInfo(Info) {
  setObjectName("AboutForm");
  setWindowTitle("About");
  setFixedSize(352, 243);

  auto* productImage = new QLabel(this);
  productImage->setObjectName("ProductImage");
  productImage->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  productImage->setFixedSize(32, 32);

  lblProduct = new QLabel(TextToQ(FInfo.Title), this);
  lblProduct->setObjectName("lblProduct");
  QFont titleFont("Arial");
  titleFont.setPixelSize(TitlePixels);
  titleFont.setBold(true);
  titleFont.setUnderline(true);
  lblProduct->setFont(titleFont);
  FitTitle();

  lblVersion = new QLabel("Version: " + TextToQ(FInfo.Version), this);
  lblVersion->setObjectName("lblVersion");
  QFont versionFont("Arial");
  versionFont.setBold(true);
  lblVersion->setFont(versionFont);

  lblMail = AddressLabel(FInfo.ContactsURL, "lblMail", this);
  lblSite = AddressLabel(FInfo.SiteURL, "lblSite", this);
  lblMail->installEventFilter(new TClickFilter(lblMail, [this] { lblMailClick(); }));
  lblSite->installEventFilter(new TClickFilter(lblSite, [this] { lblSiteClick(); }));

  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);

  auto* notice = new QLabel(TextToQ(FInfo.Notice), this);
  notice->setObjectName("lblNotice");
  notice->setAlignment(Qt::AlignCenter);
  notice->setWordWrap(true);

  auto* btnClose = new QPushButton("Close", this);
  btnClose->setObjectName("btnClose");
  btnClose->setDefault(true);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

  auto* head = new QHBoxLayout;
  head->addWidget(productImage, 0, Qt::AlignTop);
  auto* titles = new QVBoxLayout;
  titles->addWidget(lblProduct);
  titles->addWidget(lblVersion);
  head->addLayout(titles, 1);

  auto* addresses = new QGridLayout;
  addresses->addWidget(new QLabel("Contacts:", this), 0, 0);
  addresses->addWidget(lblMail, 0, 1);
  addresses->addWidget(new QLabel("Website:", this), 1, 0);
  addresses->addWidget(lblSite, 1, 1);
  addresses->setColumnStretch(1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addSpacing(8);
  layout->addLayout(addresses);
  layout->addStretch(1);
  layout->addWidget(rule);
  layout->addWidget(notice);
  layout->addWidget(btnClose, 0, Qt::AlignHCenter);
}

void TAboutForm::FitTitle() {
  // The title is sized in pixels and shrinks in whole points at the label's resolution (27
  // pixels are 20 points at 96 dots per inch, then 19 points). The smallest font stops the
  // shrinking even when the label still does not fit.
  lblProduct->adjustSize();
  int points = qRound(lblProduct->font().pixelSize() * 72.0 / lblProduct->logicalDpiY());
  while ((lblProduct->width() > MaxTitleWidth || lblProduct->height() > MaxTitleHeight)) {
    if (points <= MinTitlePoints) break;
    QFont font = lblProduct->font();
    font.setPointSize(--points);
    lblProduct->setFont(font);
    lblProduct->adjustSize();
  }
  lblProduct->setFixedSize(lblProduct->size());
}

void TAboutForm::lblSiteClick() { OpenAddress(FInfo.SiteURL); }
void TAboutForm::lblMailClick() { OpenAddress(FInfo.ContactsURL); }

void ShowAbout(const TProductInfo& Info) {
  TAboutForm form(Info, QApplication::activeWindow());
  form.exec();
}

}  // namespace rw
