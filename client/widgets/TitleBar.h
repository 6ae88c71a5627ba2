// The base of the drawn title bars: wires the buttons to the window and drags it.
#pragma once

#include <QLabel>

class QAbstractButton;
class QPixmap;
class QWidgetMoveHandler;

class TitleBar : public QLabel {
  Q_OBJECT

 public:
  // Button flags: which buttons the window may show.
  enum { CloseFlag = 1, MaximizeFlag = 2, MinimizeFlag = 4 };

  TitleBar(QWidget* window, int buttonFlags);

  virtual void setTitleIcon(const QPixmap& icon);
  virtual void setTitleText(const QString& text);

  void setButtons(QAbstractButton* close, QAbstractButton* minimize, QAbstractButton* restore,
                  QAbstractButton* maximize);
  // Shows the buttons that fit the window's state and the flags.
  void updateButtons();
  // 1 close, 2 maximize, 4 minimize; null for any other kind.
  QAbstractButton* titleButton(int kind) const;
  bool hasButton(int flag) const;
  int buttonFlags() const { return m_buttonFlags; }
  QWidget* window() const { return m_window; }

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  int m_buttonFlags;
  QWidget* m_window;
  QAbstractButton* m_minimize = nullptr;
  QAbstractButton* m_restore = nullptr;
  QAbstractButton* m_maximize = nullptr;
  QAbstractButton* m_close = nullptr;
  QWidgetMoveHandler* m_moveHandler;
};
