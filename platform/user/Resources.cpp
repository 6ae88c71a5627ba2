#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/Resources.h>
#include <platform/StockIcons.h>
#include <platform/User.h>

#include <QImage>

#include <map>
#include <mutex>

#include "FontObject.h"
#include "IconObject.h"

namespace {

std::mutex g_lock;

std::map<WORD, const char*>& IconPaths() {
  static auto* paths = new std::map<WORD, const char*>;  // read until the process ends
  return *paths;
}

}  // namespace

std::shared_ptr<IconObject> IconFromImage(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  auto icon = std::make_shared<IconObject>();
  icon->width = image.width();
  icon->height = image.height();
  icon->hotX = image.width() / 2;
  icon->hotY = image.height() / 2;
  icon->pixels.resize(static_cast<size_t>(image.width()) * image.height());
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    std::copy(row, row + image.width(), icon->pixels.begin() + static_cast<ptrdiff_t>(y) * image.width());
  }
  return icon;
}

void RegisterIconResource(WORD id, const char* qtResourcePath) {
  std::lock_guard<std::mutex> guard(g_lock);
  IconPaths()[id] = qtResourcePath;
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT) {
  const auto id = reinterpret_cast<ULONG_PTR>(name);
  if (type != IMAGE_ICON || id > 0xffff || width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (instance == nullptr) return LoadIconW(nullptr, name);
  const char* path = nullptr;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    auto found = IconPaths().find(static_cast<WORD>(id));
    if (found != IconPaths().end()) path = found->second;
  }
  EnsureGuiApplication();
  QImage image = path != nullptr ? QImage(QString::fromUtf8(path)) : QImage();
  if (image.isNull()) {
    if (path != nullptr) PlatformLog("user: icon resource %u (%s) does not load", static_cast<unsigned>(id), path);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if ((width > 0 || height > 0) && QSize(width, height) != image.size()) {
    image = image.scaled(width > 0 ? width : image.width(), height > 0 ? height : image.height(),
                         Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return static_cast<HANDLE>(RegisterGdiObject(IconFromImage(image)));
}

HMODULE GetModuleHandleW(LPCWSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // Any non-null value names the program's own resources.
  return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
}
