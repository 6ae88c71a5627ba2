// The tray icon with its menu; lives for the whole process and only emits
// signals that the main window handles.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <optional>

class QAction;
class QMenu;

class CSystemTrayIcon : public QObject {
  Q_OBJECT

 public:
  static CSystemTrayIcon& instance();
  ~CSystemTrayIcon() override;

  void setVisible(bool visible);
  bool isVisible() const;
  QMenu* menu() const { return menu_; }
  QSystemTrayIcon* trayIcon() const { return tray_; }
  // Whether the desktop has a tray to show the icon in.
  bool available() const;
  // Overrides the desktop's answer; nullopt asks the desktop again. For tests only.
  void setAvailableForTest(std::optional<bool> available) { availableForTest_ = available; }

 signals:
  void s_showNormal();
  void s_showAboutDialog();
  void s_exitApp();

 public slots:
  void iconActivated(QSystemTrayIcon::ActivationReason reason);

 private:
  CSystemTrayIcon();

  QSystemTrayIcon* tray_;
  QMenu* menu_;
  std::optional<bool> availableForTest_;
};
