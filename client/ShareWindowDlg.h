// The red ring around one shared window: it lies just below its window and
// 2 pixels larger on every side, so only the ring shows.
#pragma once

#include <QDialog>

#include <platform/Win32Types.h>

class CShareWindowDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CShareWindowDlg(HWND target);

  HWND target() const { return m_target; }
  // Follows the target's place, stacking and visibility.
  void followTarget();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  HWND m_target;
};
