#include "LayerDraw.h"

#include <platform/GdiOwners.h>
#include <platform/User.h>

#include <algorithm>

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersection(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) return RECT{0, 0, 0, 0};
  return r;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// c1 + trunc((c2 - c1) x t), kept in 8 bits, for each channel.
COLORREF Blend(COLORREF base, COLORREF c1, COLORREF c2, double t, int sign) {
  auto channel = [&](BYTE b, BYTE a1, BYTE a2) {
    return static_cast<BYTE>(b + sign * static_cast<int>((a2 - a1) * t));
  };
  return RGB(channel(GetRValue(base), GetRValue(c1), GetRValue(c2)),
             channel(GetGValue(base), GetGValue(c1), GetGValue(c2)),
             channel(GetBValue(base), GetBValue(c1), GetBValue(c2)));
}

TRIVERTEX Vertex(LONG x, LONG y, COLORREF c) {
  return TRIVERTEX{x, y, static_cast<COLOR16>(GetRValue(c) * 256), static_cast<COLOR16>(GetGValue(c) * 256),
                   static_cast<COLOR16>(GetBValue(c) * 256), 0};
}

void PaintGradient(HDC dc, const CLayerDraw::CLayerDef_GRADIENT& layer, const RECT& source, const RECT& dest) {
  COLORREF first = layer.colours[0], second = layer.colours[1];
  if (!SameRect(source, layer.layoutRect)) {
    // The visible piece shows its own share of the whole run, not the whole run squeezed.
    const RECT& whole = layer.layoutRect;
    double t1, t2;
    if (layer.horizontal) {
      t1 = static_cast<double>(source.left - whole.left) / (whole.right - whole.left);
      t2 = static_cast<double>(whole.right - source.right) / (whole.right - whole.left);
    } else {
      t1 = static_cast<double>(source.top - whole.top) / (whole.bottom - whole.top);
      t2 = static_cast<double>(whole.bottom - source.bottom) / (whole.bottom - whole.top);
    }
    first = Blend(layer.colours[0], layer.colours[0], layer.colours[1], t1, 1);
    second = Blend(layer.colours[1], layer.colours[0], layer.colours[1], t2, -1);
  }
  TRIVERTEX vertices[2] = {Vertex(dest.left, dest.top, first), Vertex(dest.right, dest.bottom, second)};
  GRADIENT_RECT mesh{0, 1};
  GradientFill(dc, vertices, 2, &mesh, 1, layer.horizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
}

}  // namespace

RECT MapLayerRect(const RECT& r, const RECT& from, const RECT& to) {
  const long long fw = from.right - from.left, fh = from.bottom - from.top;
  const long long tw = to.right - to.left, th = to.bottom - to.top;
  if (fw == 0 || fh == 0) return RECT{0, 0, 0, 0};
  return RECT{static_cast<LONG>(tw * (r.left - from.left) / fw + to.left),
              static_cast<LONG>(th * (r.top - from.top) / fh + to.top),
              static_cast<LONG>(tw * (r.right - from.left) / fw + to.left),
              static_cast<LONG>(th * (r.bottom - from.top) / fh + to.top)};
}

void CLayerDraw::AddSolidColorLayer(const RECT& rect, COLORREF colour) {
  auto layer = std::make_unique<CLayerDef_SOLIDECOLR>();
  layer->layoutRect = layer->sourceRect = rect;
  layer->colour = colour;
  AddLayer(std::move(layer));
}

void CLayerDraw::AddGradientLayer(const RECT& rect, const COLORREF colours[2], int horizontal) {
  auto layer = std::make_unique<CLayerDef_GRADIENT>();
  layer->layoutRect = layer->sourceRect = rect;
  layer->colours[0] = colours[0];
  layer->colours[1] = colours[1];
  layer->horizontal = horizontal;
  AddLayer(std::move(layer));
}

void CLayerDraw::AddIconLayer(const RECT& rect, HICON icon) {
  auto layer = std::make_unique<CLayerDef_ICON>();
  layer->layoutRect = rect;
  layer->sourceRect = RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top};
  layer->icon = icon;
  AddLayer(std::move(layer));
}

void CLayerDraw::AddTextLayer(const RECT& rect, const wchar_t* text) {
  auto layer = std::make_unique<CLayerDef_TXT>();
  layer->layoutRect = layer->sourceRect = rect;
  layer->text.SetText(text != nullptr ? text : L"", nullptr);
  layer->text.Layout(rect, 0);
  AddLayer(std::move(layer));
}

int CLayerDraw::Draw(HDC dc, const RECT& dest, const RECT& design) {
  if (m_layers.empty()) return 0;
  if (IsEmpty(dest)) return 1;
  for (const std::unique_ptr<CLayerDef>& layer : m_layers) {
    if (layer->kind == -1) continue;
    const RECT visible = Intersection(layer->layoutRect, design);
    if (IsEmpty(visible)) continue;
    const RECT source = MapLayerRect(visible, layer->layoutRect, layer->sourceRect);
    const RECT target = MapLayerRect(visible, design, dest);
    if (IsEmpty(source) || IsEmpty(target)) continue;
    switch (layer->kind) {
      case 0: {
        const COLORREF previous = SetBkColor(dc, static_cast<CLayerDef_SOLIDECOLR&>(*layer).colour);
        if (previous == CLR_INVALID) break;
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &target, nullptr, 0, nullptr);
        SetBkColor(dc, previous);
        break;
      }
      case 2: {
        HICON icon = static_cast<CLayerDef_ICON&>(*layer).icon;
        ICONINFO info{};
        if (!GetIconInfo(icon, &info)) break;
        // Copies made for the caller: the call only proves the icon usable.
        const UniqueGdiObject colour(info.hbmColor), mask(info.hbmMask);
        DrawIconEx(dc, target.left, target.top, icon, target.right - target.left, target.bottom - target.top, 0,
                   nullptr, DI_NORMAL);
        break;
      }
      case 6:
        PaintGradient(dc, static_cast<CLayerDef_GRADIENT&>(*layer), source, target);
        break;
      case 7: {
        // Text is never scaled: a layer drawn at another size is left out.
        if (source.right - source.left != target.right - target.left ||
            source.bottom - source.top != target.bottom - target.top) {
          break;
        }
        const int dx = target.left - source.left, dy = target.top - source.top;
        OffsetViewportOrgEx(dc, dx, dy, nullptr);
        static_cast<CLayerDef_TXT&>(*layer).text.Draw(dc, &source);
        OffsetViewportOrgEx(dc, -dx, -dy, nullptr);
        break;
      }
      default:
        break;
    }
  }
  return 1;
}
