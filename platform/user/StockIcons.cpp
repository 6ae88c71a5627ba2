#include <platform/Kernel.h>
#include <platform/Resources.h>
#include <platform/StockIcons.h>
#include <platform/User.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <map>
#include <mutex>

#include "IconObject.h"

namespace {

constexpr int kIconSize = 32;

void FillDisc(QPainter& painter, const QColor& color) {
  painter.setPen(QPen(color.darker(130), 1.0));
  painter.setBrush(color);
  painter.drawEllipse(QRectF(1.5, 1.5, 29, 29));
}

void DrawInformation(QPainter& painter) {
  FillDisc(painter, QColor(0x1e, 0x6f, 0xd9));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(16, 9), 2.5, 2.5);
  painter.drawRoundedRect(QRectF(14, 13, 4, 12), 1, 1);
}

void DrawWarning(QPainter& painter) {
  QPainterPath triangle;
  triangle.moveTo(16, 2);
  triangle.lineTo(30.5, 29);
  triangle.lineTo(1.5, 29);
  triangle.closeSubpath();
  painter.setPen(QPen(QColor(0xa0, 0x78, 0x00), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(QColor(0xf4, 0xc2, 0x1b));
  painter.drawPath(triangle);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawRoundedRect(QRectF(14.5, 10, 3, 11), 1, 1);
  painter.drawEllipse(QPointF(16, 24.5), 1.8, 1.8);
}

void DrawError(QPainter& painter) {
  FillDisc(painter, QColor(0xd9, 0x32, 0x2b));
  painter.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
  painter.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
}

void DrawQuestion(QPainter& painter) {
  FillDisc(painter, QColor(0x1e, 0x6f, 0xd9));
  QPainterPath hook;
  hook.moveTo(11.5, 12);
  hook.arcTo(QRectF(11.5, 6.5, 9, 9), 180, -270);
  hook.lineTo(16, 17.5);
  hook.lineTo(16, 20);
  painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(hook);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(16, 24.5), 2, 2);
}

std::shared_ptr<IconObject> DrawStockIcon(int id) {
  QImage image(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (id) {
      case 32513: DrawError(painter); break;
      case 32514: DrawQuestion(painter); break;
      case 32515: DrawWarning(painter); break;
      case 32516: DrawInformation(painter); break;
      default: return nullptr;
    }
  }
  // Icon pixels keep straight alpha, as the cursor images do.
  image = image.convertToFormat(QImage::Format_ARGB32);
  auto icon = std::make_shared<IconObject>();
  icon->width = kIconSize;
  icon->height = kIconSize;
  icon->hotX = kIconSize / 2;
  icon->hotY = kIconSize / 2;
  icon->shared = true;
  icon->pixels.resize(static_cast<size_t>(kIconSize) * kIconSize);
  for (int y = 0; y < kIconSize; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    std::copy(row, row + kIconSize, icon->pixels.begin() + static_cast<ptrdiff_t>(y) * kIconSize);
  }
  return icon;
}

}  // namespace

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  const auto id = reinterpret_cast<ULONG_PTR>(name);
  // The program's own icons, at their own size.
  if (instance != nullptr && id <= 0xffff) {
    HICON own = static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    if (own != nullptr) return own;
  }
  // Resource ids are below 0x10000; anything above is a name we do not have.
  if (instance != nullptr || id > 0xffff) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  static std::mutex lock;
  static auto* loaded = new std::map<ULONG_PTR, HICON>;  // shared for the process's life
  std::lock_guard<std::mutex> guard(lock);
  auto found = loaded->find(id);
  if (found != loaded->end()) return found->second;
  std::shared_ptr<IconObject> icon = DrawStockIcon(static_cast<int>(id));
  if (!icon) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HICON handle = static_cast<HICON>(RegisterGdiObject(std::move(icon)));
  loaded->emplace(id, handle);
  return handle;
}
