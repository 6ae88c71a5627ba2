// Invalid regions, WM_PAINT, window DCs and the top-level images' way to the screen.
#include <platform/Kernel.h>
#include <platform/User.h>

#include <QBackingStore>
#include <QPainter>

#include "GdiObject.h"
#include "LayerWindow.h"
#include "RegionObject.h"
#include "TopLevelWindow.h"
#include "WindowDc.h"

namespace {

QRegion ClientRegion(const LayerWindow* window) { return QRegion(QRect(QPoint(), window->rect.size())); }

// A DC over the window's client area in its top-level image; paintArea
// (client coordinates) narrows it further for BeginPaint.
HDC MakeWindowDc(LayerWindow* window, const QRegion* paintArea) {
  auto dc = std::make_shared<WindowDc>();
  dc->window = window->handle;
  std::weak_ptr<LayerWindow> weak = SharedWindowOf(window->handle);
  const QRegion narrow = paintArea != nullptr ? *paintArea : ClientRegion(window);
  dc->surfaceOf = [weak, narrow](DrawSurface* surface) {
    std::shared_ptr<LayerWindow> self = weak.lock();
    if (!self || self->destroyed) return false;
    LayerWindow* top = TopLevelOf(self.get());
    if (top == nullptr || top->surface.isNull()) return false;
    QImage& image = top->surface;
    surface->image = QImage(image.bits(), image.width(), image.height(), image.bytesPerLine(), image.format());
    surface->origin = OffsetInTopLevel(self.get());
    surface->limit = VisibleInTopLevel(self.get()) & narrow.translated(surface->origin) & image.rect();
    return true;
  };
  return static_cast<HDC>(RegisterGdiObject(std::move(dc)));
}

}  // namespace

void MarkDirty(LayerWindow* window, const QRegion& clientArea) {
  LayerWindow* top = TopLevelOf(window);
  if (top == nullptr) return;
  top->dirty |= clientArea.translated(OffsetInTopLevel(window)) & VisibleInTopLevel(window);
}

void InvalidateRegion(LayerWindow* window, const QRegion& area, bool erase) {
  const QRegion inside = area & ClientRegion(window);
  if (inside.isEmpty()) return;
  window->invalid |= inside;
  window->erase = window->erase || erase;
  // Without WS_CLIPCHILDREN the parent paints under its children, so they paint again after it.
  if (window->style & WS_CLIPCHILDREN) return;
  for (HWND handle : window->children) {
    LayerWindow* child = LayerWindowOf(handle);
    if (child != nullptr && (child->style & WS_VISIBLE)) {
      InvalidateRegion(child, inside.translated(-child->rect.topLeft()), erase);
    }
  }
}

BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL erase) {
  LayerWindow* window = LayerWindowOrFail(handle);
  if (window == nullptr) return FALSE;
  InvalidateRegion(window, rect != nullptr ? QRegion(QRectFromRect(*rect)) : ClientRegion(window), erase != FALSE);
  return TRUE;
}

BOOL RedrawWindow(HWND handle, const RECT* rect, HRGN region, UINT flags) {
  LayerWindow* window = LayerWindowOrFail(handle);
  if (window == nullptr) return FALSE;
  if (flags & RDW_INVALIDATE) {
    QRegion area = ClientRegion(window);
    if (rect != nullptr) area = QRegion(QRectFromRect(*rect));
    if (auto object = LookupGdiAs<RegionObject>(region)) area = object->region;
    InvalidateRegion(window, area, (flags & RDW_ERASE) != 0);
  }
  if (flags & RDW_UPDATENOW) UpdateWindow(handle);
  return TRUE;
}

BOOL UpdateWindow(HWND handle) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr) return FALSE;
  LayerWindow* top = TopLevelOf(window);
  PaintTree(top);
  FlushTopLevel(top);
  return TRUE;
}

HDC BeginPaint(HWND handle, PAINTSTRUCT* paint) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr || paint == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const QRegion area = window->invalid;
  const bool erase = window->erase;
  window->invalid = QRegion();
  window->erase = false;
  HDC dc = MakeWindowDc(window, &area);
  paint->hdc = dc;
  paint->rcPaint = RectFromQRect(area.boundingRect());
  paint->fErase = erase ? TRUE : FALSE;
  if (erase) paint->fErase = SendMessageW(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  MarkDirty(window, area);
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr || !LookupGdiAs<WindowDc>(paint->hdc)) return FALSE;
  UnregisterGdiObject(paint->hdc);
  return TRUE;
}

HDC LayerGetDc(HWND handle) {
  LayerWindow* window = LayerWindowOrFail(handle);
  if (window == nullptr) return nullptr;
  // What is drawn through it reaches the screen at the next flush.
  MarkDirty(window, ClientRegion(window));
  return MakeWindowDc(window, nullptr);
}

int LayerReleaseDc(HWND, HDC dc) {
  if (!LookupGdiAs<WindowDc>(dc)) return 0;
  UnregisterGdiObject(dc);
  return 1;
}

namespace {

void PaintWindow(LayerWindow* window) {
  if (!(window->style & WS_VISIBLE) || window->destroyed) return;
  if (!window->invalid.isEmpty()) {
    const HWND handle = window->handle;
    SendMessageW(handle, WM_PAINT, 0, 0);
    window = LayerWindowOf(handle);
    if (window == nullptr) return;
    // A procedure that does not paint would otherwise be asked forever.
    window->invalid = QRegion();
    window->erase = false;
  }
  // Bottom first: the first child is on top.
  const std::vector<HWND> children = window->children;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (LayerWindow* child = LayerWindowOf(*it)) PaintWindow(child);
  }
}

}  // namespace

void PaintTree(LayerWindow* topLevel) {
  if (topLevel != nullptr) PaintWindow(topLevel);
}

void FlushTopLevel(LayerWindow* top) {
  if (top == nullptr || !top->qt || top->dirty.isEmpty() || !top->qt->isExposed()) return;
  QBackingStore* store = top->qt->store();
  const QRegion area = top->dirty & top->surface.rect();
  top->dirty = QRegion();
  if (store->size() != top->surface.size()) store->resize(top->surface.size());
  store->beginPaint(area);
  {
    QPainter painter(store->paintDevice());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& rect : area) painter.drawImage(rect, top->surface, rect);
  }
  store->endPaint();
  store->flush(area);
}

void PaintAndFlush() {
  // By handle: a procedure may destroy any window while it paints.
  std::vector<HWND> handles;
  for (LayerWindow* top : ThreadTopLevels()) handles.push_back(top->handle);
  for (HWND handle : handles) {
    if (LayerWindow* top = LayerWindowOf(handle)) PaintTree(top);
    if (LayerWindow* top = LayerWindowOf(handle)) FlushTopLevel(top);
  }
}
