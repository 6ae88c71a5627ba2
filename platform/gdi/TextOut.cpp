#include <platform/Gdi.h>
#include <platform/Kernel.h>

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <cwchar>

#include "DrawDc.h"
#include "FontObject.h"
#include "RegionObject.h"

namespace {

QString TextOf(LPCWSTR text, int count) {
  if (text == nullptr || count <= 0) return QString();
  return QString::fromWCharArray(text, count);
}

QColor ColorOf(COLORREF color) { return QColor(GetRValue(color), GetGValue(color), GetBValue(color)); }


}  // namespace

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
  auto found = LookupGdiAs<DrawDc>(dc);
  if (!found || size == nullptr || (text == nullptr && count > 0) || count < 0) {
    SetLastError(found ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const QFontMetrics metrics(DcFont(*found));
  *size = SIZE{metrics.horizontalAdvance(TextOf(text, count)), metrics.height()};
  return TRUE;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* out) {
  auto found = LookupGdiAs<DrawDc>(dc);
  if (!found || out == nullptr) {
    SetLastError(found ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const QFontMetrics metrics(DcFont(*found));
  *out = TEXTMETRICW{metrics.height(), metrics.ascent(),         metrics.descent(),         0,
                     metrics.leading(), metrics.averageCharWidth(), metrics.maxWidth()};
  return TRUE;
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT*) {
  auto found = LookupGdiAs<DrawDc>(dc);
  if (!found || (text == nullptr && count > 0)) {
    SetLastError(found ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DrawSurface surface;
  if (!found->Surface(&surface)) return TRUE;  // nothing to draw on
  const DcState& state = found->state;
  const QPoint offset = LogicalToImage(*found, surface);
  const QRegion area = DrawableArea(*found, surface);
  if ((options & ETO_OPAQUE) && rect != nullptr && state.bkColor != CLR_INVALID) {
    FillSolid(surface.image, area & QRectFromLogical(*rect, offset), state.bkColor);
  }
  const QString string = TextOf(text, static_cast<int>(count));
  if (string.isEmpty()) return TRUE;
  QRegion clip = area;
  if ((options & ETO_CLIPPED) && rect != nullptr) clip &= QRectFromLogical(*rect, offset);
  const QFont font = DcFont(*found);
  const QFontMetrics metrics(font);
  const QPoint start = QPoint(x, y) + offset;
  if (state.bkMode == OPAQUE && !(options & ETO_OPAQUE) && state.bkColor != CLR_INVALID) {
    FillSolid(surface.image, clip & QRect(start, QSize(metrics.horizontalAdvance(string), metrics.height())),
              state.bkColor);
  }
  QPainter painter(&surface.image);
  painter.setClipRegion(clip);
  painter.setFont(font);
  painter.setPen(ColorOf(state.textColor));
  painter.drawText(QPoint(start.x(), start.y() + metrics.ascent()), string);
  return TRUE;
}

namespace {

// Lines as DrawTextW breaks them: at '\n', and with DT_WORDBREAK at word
// boundaries within width. A word longer than the width stays whole.
QStringList BreakLines(const QString& text, const QFont& font, int width, UINT format) {
  QStringList lines;
  const QStringList paragraphs = (format & DT_SINGLELINE) ? QStringList{QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))}
                                                          : text.split(QLatin1Char('\n'));
  for (const QString& paragraph : paragraphs) {
    if (!(format & DT_WORDBREAK) || paragraph.isEmpty()) {
      lines.append(paragraph);
      continue;
    }
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      lines.append(paragraph.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
  }
  return lines;
}

// Drops the '&' marks: "&&" is one '&', any other '&' goes.
QString WithoutPrefixes(const QString& text) {
  QString out;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
    out.append(text[i]);
  }
  return out;
}

}  // namespace

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  auto found = LookupGdiAs<DrawDc>(dc);
  if (!found || rect == nullptr || (text == nullptr && count != 0)) {
    SetLastError(found ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  if (count < 0) count = static_cast<int>(std::wcslen(text));
  QString string = TextOf(text, count);
  string.remove(QLatin1Char('\r'));
  if (!(format & DT_NOPREFIX)) string = WithoutPrefixes(string);
  const QFont font = DcFont(*found);
  const QFontMetrics metrics(font);
  const int width = std::max<LONG>(0, rect->right - rect->left);
  const QStringList lines = BreakLines(string, font, width, format);
  const int lineHeight = metrics.height();
  const int height = lineHeight * lines.size();
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }
  DrawSurface surface;
  if (!found->Surface(&surface)) return height;
  const QPoint offset = LogicalToImage(*found, surface);
  QRegion clip = DrawableArea(*found, surface);
  const QRect target = QRectFromLogical(*rect, offset);
  if (!(format & DT_NOCLIP)) clip &= target;
  int top = target.top();
  if (format & DT_SINGLELINE) {
    const int boxHeight = rect->bottom - rect->top;
    if (format & DT_VCENTER) top += (boxHeight - height) / 2;
    else if (format & DT_BOTTOM) top += boxHeight - height;
  }
  const DcState& state = found->state;
  QPainter painter(&surface.image);
  painter.setClipRegion(clip);
  painter.setFont(font);
  painter.setPen(ColorOf(state.textColor));
  for (const QString& line : lines) {
    const int advance = metrics.horizontalAdvance(line);
    int left = rect->left + offset.x();
    if (format & DT_CENTER) left += (width - advance) / 2;
    else if (format & DT_RIGHT) left += width - advance;
    if (state.bkMode == OPAQUE && state.bkColor != CLR_INVALID) {
      FillSolid(surface.image, clip & QRect(left, top, advance, lineHeight), state.bkColor);
    }
    painter.drawText(QPoint(left, top + metrics.ascent()), line);
    top += lineHeight;
  }
  return height;
}
