#include "DlgAbout.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include "App.h"
#include "AppIconPath.h"
#include "ScreenScale.h"
#include "StandardTitleBar.h"

DlgAbout* DlgAbout::instance(QWidget* parent) {
  static DlgAbout* dialog = new DlgAbout(parent);
  return dialog;
}

DlgAbout::DlgAbout(QWidget* parent)
    : QNoNCDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint) {
  auto* central = new QWidget(this);
  auto* verticalLayout = new QVBoxLayout(central);
  verticalLayout->setSpacing(0);
  verticalLayout->setContentsMargins(0, 0, 0, 0);
  auto* widget = new QWidget(central);
  auto* horizontalLayout = new QHBoxLayout(widget);
  horizontalLayout->setSpacing(6);
  const QMargins base = horizontalLayout->contentsMargins();
  horizontalLayout->setContentsMargins(30, base.top(), base.right(), base.bottom());
  lbPic_ = new QLabel(widget);
  lbPic_->setObjectName(QStringLiteral("lbPic"));
  horizontalLayout->addWidget(lbPic_);
  auto* widget3 = new QWidget(widget);
  auto* verticalLayout2 = new QVBoxLayout(widget3);
  verticalLayout2->setSpacing(30);
  const QMargins base2 = verticalLayout2->contentsMargins();
  verticalLayout2->setContentsMargins(base2.left(), 30, base2.right(), base2.bottom());
  lbProductName_ = new QLabel(QStringLiteral("TextLabel"), widget3);
  lbProductName_->setObjectName(QStringLiteral("lbProductName"));
  lbProductName_->setMouseTracking(true);
  lbVer_ = new QLabel(QStringLiteral("version"), widget3);
  lbVer_->setObjectName(QStringLiteral("lbVer"));
  verticalLayout2->addWidget(lbProductName_);
  verticalLayout2->addWidget(lbVer_);
  verticalLayout2->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
  horizontalLayout->addWidget(widget3);
  verticalLayout->addWidget(widget);
  auto* widgetBtn = new QWidget(central);
  widgetBtn->setObjectName(QStringLiteral("widgetBtn"));
  widgetBtn->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  auto* horizontalLayout2 = new QHBoxLayout(widgetBtn);
  horizontalLayout2->setSpacing(6);
  const QMargins base3 = horizontalLayout2->contentsMargins();
  horizontalLayout2->setContentsMargins(base3.left(), 2, base3.right(), 2);
  horizontalLayout2->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
  btnOk_ = new QPushButton(tr("Ok"), widgetBtn);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  horizontalLayout2->addWidget(btnOk_);
  verticalLayout->addWidget(widgetBtn);

  auto* bar = new StandardTitleBar(this, 1);
  setTitleBar(bar, true);
  setCentralWidget(central, true);

  const QString product = QCoreApplication::translate("CApp", "Corvane");
  setWindowTitle(tr("About ") + product);
  bar->setTitleText(windowTitle());
  setFixedSize(static_cast<int>(316 * screenScale()), static_cast<int>(225 * screenScale()));
  connect(btnOk_, &QPushButton::clicked, this, &QWidget::close);
  lbPic_->setPixmap(
      QPixmap(AppIconPath(0)).scaled(96, 96, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  lbProductName_->setText(product);
  lbVer_->setText(tr("Version: ") + theApp.appVersion());
}
