// The client's application object. This build holds what the settings need
// of it; start-up and exit come with the main window.
#pragma once

#include <QObject>
#include <QString>

class CApp : public QObject {
  Q_OBJECT

 public:
  CApp();

  // The box id of the last box connected from the list.
  void saveLastBoxInfo(const QString& boxId);
  // The last address the user typed and connected to; "" when none.
  QString lastUserAddIp();
  void saveLastUserAddIp(const QString& ip);
};

// Constructed before main, lives until the process ends.
extern CApp theApp;
