// The red frame around a shared screen area: its tab moves it, its edges and
// corners resize it, and every change reports the new area.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QRegion>

class CToolTip;

class CShareAreaDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CShareAreaDlg(QWidget* parent = nullptr);
  ~CShareAreaDlg() override;

  static QRect frameRectForArea(const QRect& area);
  static QRect areaRectForFrame(const QRect& frame);
  // 0 inside, 1 the tab, 2-9 the edges and corners, for a window of that size.
  static int hitZone(const QPoint& point, const QSize& size);
  // What the frame paints, in window coordinates; the rest is not the window's.
  static QRegion paintedRegion(const QSize& size);

  CToolTip* tip() const { return m_tip; }

 signals:
  void s_updateShareRt(QRect rt);

 public slots:
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QPoint m_pressPos;
  bool m_pressed = false;
  int m_pressedZone = 0;
  QRect m_pressGeometry;
  CToolTip* m_tip;
};
