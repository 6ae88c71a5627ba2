#include "ShareWindowDlg.h"

#include <QPainter>

#include <platform/Gdi.h>
#include <platform/GdiOwners.h>
#include <platform/User.h>

namespace {

constexpr int kRing = 2;

}  // namespace

CShareWindowDlg::CShareWindowDlg(HWND target)
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint), m_target(target) {
  setAttribute(Qt::WA_TranslucentBackground);
  followTarget();
  setWindowTitle(QStringLiteral("FWMT_SHARE_INDICATOR_WND"));
}

void CShareWindowDlg::followTarget() {
  if (IsIconic(m_target)) {
    hide();
    return;
  }
  const bool visible = IsWindowVisible(m_target) != FALSE;
  setVisible(visible);
  if (!visible) return;
  // Below its window, the frame shows only where it is larger: the ring.
  SetWindowPos(reinterpret_cast<HWND>(winId()), m_target, 0, 0, 0, 0,
               SWP_NOOWNERZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  RECT rect{};
  if (!GetWindowRect(m_target, &rect)) return;
  setGeometry(rect.left - kRing, rect.top - kRing, rect.right - rect.left + 2 * kRing,
              rect.bottom - rect.top + 2 * kRing);
}

void CShareWindowDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::red);
}

void CShareWindowDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const UniqueGdiObject whole(CreateRectRgn(0, 0, width(), height()));
  const UniqueGdiObject inside(CreateRectRgn(kRing, kRing, width() - kRing, height() - kRing));
  HRGN ring = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(ring, whole.get(), inside.get(), RGN_DIFF);
  // The window owns the ring from now on.
  if (!SetWindowRgn(reinterpret_cast<HWND>(winId()), ring, TRUE)) DeleteObject(ring);
}
