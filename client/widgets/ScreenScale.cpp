#include "ScreenScale.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStyle>
#include <QWidget>

#include <platform/DeviceCaps.h>

namespace {

float g_screenScale = 1.0f;

const QString& Marker() {
  static const QString marker = QStringLiteral("px*SCREENSCALE");
  return marker;
}

bool IsNumberChar(QChar c) { return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.'); }

}  // namespace

void initScreenScale(bool enable) {
  if (!enable) return;
  const UniqueScreenDc dc(GetDC(nullptr));
  if (!dc) {
    // Without a screen there is no DPI to read; a factor of 0 would shrink every window to nothing.
    qWarning("screen scale: no screen DC, the scale stays %.2f", static_cast<double>(g_screenScale));
    return;
  }
  const int dpi = GetDeviceCaps(dc.get(), LOGPIXELSX);
  if (dpi <= 0) {
    qWarning("screen scale: the screen reports %d DPI, the scale stays %.2f", dpi, static_cast<double>(g_screenScale));
    return;
  }
  g_screenScale = static_cast<float>(dpi) / 96.0f;
}

float screenScale() { return g_screenScale; }

void setScreenScaleForTest(float factor) { g_screenScale = factor; }

QString scaleStyleSheet(const QString& styleSheet) {
  QString text = styleSheet;
  const QString& marker = Marker();
  int pos = text.indexOf(marker);
  // A marker at index 0 has no number in front and ends the rewrite, as one that is not found does.
  while (pos > 0) {
    int start = pos;
    while (start > 0 && IsNumberChar(text.at(start - 1))) --start;
    const float value = text.midRef(start, pos - start).toFloat();  // empty or malformed: 0
    const int scaled = static_cast<int>(value * g_screenScale);
    const QString replacement = QString::number(scaled) + QStringLiteral("px");
    text.replace(start, pos - start + marker.size(), replacement);
    // Go on right after the inserted text: the number may have been longer than
    // its replacement, so the old position can lie past the next marker.
    pos = text.indexOf(marker, start + replacement.size());
  }
  return text;
}

void repolishWidget(QWidget* widget) {
  widget->style()->polish(widget);
  QEvent event(QEvent::StyleChange);
  QCoreApplication::sendEvent(widget, &event);
  widget->update();
  widget->updateGeometry();
}
