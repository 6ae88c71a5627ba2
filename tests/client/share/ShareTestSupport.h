// Small helpers of the share tests: notices answered as they appear, handles
// from X ids.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QStringList>
#include <QTimer>

#include <platform/Win32Types.h>

#include <cstdint>

#include "FWMsgBox.h"

inline HWND AsHwnd(unsigned long window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

// Records the text of every message box that opens, and closes it with Ok.
class NoticeCatcher {
 public:
  NoticeCatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<FWMsgBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      if (auto* label = box->findChild<QLabel*>(QStringLiteral("FWMsg_label"))) texts << label->text();
      box->button(FWMsgBox::Ok)->click();
    });
    timer_.start(20);
  }
  QStringList texts;

 private:
  QTimer timer_;
};
