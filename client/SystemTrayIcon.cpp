#include "SystemTrayIcon.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>

#include "AppIconPath.h"

CSystemTrayIcon& CSystemTrayIcon::instance() {
  static CSystemTrayIcon tray;
  return tray;
}

CSystemTrayIcon::CSystemTrayIcon() : QObject(nullptr), tray_(new QSystemTrayIcon()), menu_(new QMenu()) {
  auto* show = new QAction(QIcon(AppIconPath(0)), tr("show main window"), this);
  auto* about = new QAction(QIcon(AppIconPath(1)), tr("&About"), this);
  auto* exit = new QAction(QIcon(AppIconPath(2)), tr("&Exit"), this);
  connect(show, &QAction::triggered, this, &CSystemTrayIcon::s_showNormal);
  connect(about, &QAction::triggered, this, &CSystemTrayIcon::s_showAboutDialog);
  connect(exit, &QAction::triggered, this, &CSystemTrayIcon::s_exitApp);
  menu_->addAction(show);
  menu_->addAction(about);
  menu_->addAction(exit);
  tray_->setIcon(QIcon(AppIconPath(0)));
  tray_->setToolTip(QCoreApplication::translate("CApp", "Corvane"));
  tray_->setContextMenu(menu_);
  connect(tray_, &QSystemTrayIcon::activated, this, &CSystemTrayIcon::iconActivated);
}

CSystemTrayIcon::~CSystemTrayIcon() {
  tray_->hide();
  tray_->deleteLater();
  menu_->deleteLater();
}

void CSystemTrayIcon::setVisible(bool visible) { tray_->setVisible(visible); }

bool CSystemTrayIcon::isVisible() const { return tray_->isVisible(); }

bool CSystemTrayIcon::available() const {
  if (availableForTest_) return *availableForTest_;
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void CSystemTrayIcon::iconActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) emit s_showNormal();
}
