#include "DlgAbout.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "App.h"
#include "AppIconPath.h"
#include "ScreenScale.h"
#include "StandardTitleBar.h"
#include "ui_DlgAbout.h"

DlgAbout* DlgAbout::instance(QWidget* parent) {
  static DlgAbout* dialog = new DlgAbout(parent);
  return dialog;
}

DlgAbout::DlgAbout(QWidget* parent)
    : QNoNCDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint), ui(new Ui::DlgAbout) {
  auto* central = new QWidget(this);
  ui->setupUi(central);

  auto* bar = new StandardTitleBar(this, 1);
  setTitleBar(bar, true);
  setCentralWidget(central, true);

  const QString product = QCoreApplication::translate("CApp", "Corvane");
  setWindowTitle(tr("About ") + product);
  bar->setTitleText(windowTitle());
  setFixedSize(static_cast<int>(316 * screenScale()), static_cast<int>(225 * screenScale()));
  connect(ui->btnOk, &QPushButton::clicked, this, &QWidget::close);
  ui->lbPic->setPixmap(
      QPixmap(AppIconPath(0)).scaled(96, 96, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  ui->lbProductName->setText(product);
  ui->lbVer->setText(tr("Version: ") + theApp.appVersion());
}

DlgAbout::~DlgAbout() { delete ui; }

QLabel* DlgAbout::productName() const { return ui->lbProductName; }
QLabel* DlgAbout::versionLabel() const { return ui->lbVer; }
QPushButton* DlgAbout::okButton() const { return ui->btnOk; }
