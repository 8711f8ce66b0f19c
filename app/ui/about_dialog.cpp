#include "about_dialog.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "icons.h"
#include "product.h"

namespace zandro::ui {

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fmAbout"));
  setWindowTitle(QStringLiteral("About"));

  auto* picture = new QLabel(this);
  picture->setPixmap(AppIcon().pixmap(64, 64));
  picture->setAlignment(Qt::AlignTop);

  auto* name = new QLabel(kProductName, this);
  name->setObjectName(QStringLiteral("lbName"));
  QFont large = name->font();
  large.setPixelSize(19);
  large.setBold(true);
  name->setFont(large);

  auto* version = new QLabel(kVersionText, this);
  version->setObjectName(QStringLiteral("lbVersion"));

  auto* link = new QLabel(this);
  link->setObjectName(QStringLiteral("lbLink"));
  link->setText(QStringLiteral("<a href=\"%1\" style=\"color:#1b8a2e; text-decoration:underline;\">%1</a>")
                    .arg(kHomePage.toHtmlEscaped()));
  link->setTextFormat(Qt::RichText);
  link->setCursor(Qt::PointingHandCursor);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(link, &QLabel::linkActivated, this, [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(version);
  texts->addWidget(link);
  texts->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(picture);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zandro::ui
