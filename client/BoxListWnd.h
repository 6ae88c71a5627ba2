// The box search page: searches, lists the boxes that answer and turns a
// click on a tile or a typed address into a box to connect to.
#pragma once

#include <QList>
#include <QWidget>

#include "CorvaneSDK.h"

namespace Ui {
class BoxListWnd;
}

class BoxListWnd : public QWidget {
  Q_OBJECT

 public:
  explicit BoxListWnd(QWidget* parent = nullptr);
  ~BoxListWnd() override;

  bool hasBox(const QString& boxId) const;
  const QList<CORVANESDK::MEETING_BOX_INFO>& boxes() const { return boxes_; }
  // How long a search keeps refresh and manual entry disabled; tests shorten it.
  void setAllowClickDelayForTest(int ms) { allowClickDelayMs_ = ms; }

 signals:
  void s_connectBox(CORVANESDK::MEETING_BOX_INFO box);

 public slots:
  void slot_search();
  void slot_refresh();
  void slot_userAdd();
  void slot_join(const CORVANESDK::MEETING_BOX_INFO& box);
  void slot_enter(const CORVANESDK::MEETING_BOX_INFO& box);
  void slot_allowClick();

 private:
  void setControlsEnabled(bool enabled);

  Ui::BoxListWnd* ui;
  QList<CORVANESDK::MEETING_BOX_INFO> boxes_;
  int allowClickDelayMs_ = 1000;
};
