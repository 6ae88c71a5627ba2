// Paints a window's background as layers added once: solid colours,
// gradients, icons and mark-up text, mapped from design to device rectangles.
#pragma once

#include <platform/Gdi.h>

#include <list>
#include <memory>

#include "HtmlStringDraw.h"

class CLayerDraw {
 public:
  class CLayerDef {
   public:
    virtual ~CLayerDef() = default;
    int kind = -1;  // -1: a bare layer, never painted
    RECT layoutRect{};
    RECT sourceRect{};
  };
  class CLayerDef_SOLIDECOLR : public CLayerDef {
   public:
    CLayerDef_SOLIDECOLR() { kind = 0; }
    COLORREF colour = 0;
  };
  class CLayerDef_ICON : public CLayerDef {
   public:
    CLayerDef_ICON() { kind = 2; }
    HICON icon = nullptr;  // the caller's
  };
  class CLayerDef_GRADIENT : public CLayerDef {
   public:
    CLayerDef_GRADIENT() { kind = 6; }
    COLORREF colours[2] = {0, 0};
    int horizontal = 0;
  };
  class CLayerDef_TXT : public CLayerDef {
   public:
    CLayerDef_TXT() { kind = 7; }
    CHtmlStringDraw text;
  };

  CLayerDraw() = default;
  virtual ~CLayerDraw() = default;
  CLayerDraw(const CLayerDraw&) = delete;
  CLayerDraw& operator=(const CLayerDraw&) = delete;

  void AddSolidColorLayer(const RECT& rect, COLORREF colour);
  // colours[0] at the left (horizontal) or top edge, colours[1] at the other.
  void AddGradientLayer(const RECT& rect, const COLORREF colours[2], int horizontal);
  void AddIconLayer(const RECT& rect, HICON icon);
  // Laid out here, once.
  void AddTextLayer(const RECT& rect, const wchar_t* text);
  // 0 without layers; otherwise non-zero.
  virtual int Draw(HDC dc, const RECT& dest, const RECT& design);

 protected:
  // For painters that add layers of their own kinds.
  void AddLayer(std::unique_ptr<CLayerDef> layer) { m_layers.push_back(std::move(layer)); }

 private:
  std::list<std::unique_ptr<CLayerDef>> m_layers;
};

// r mapped from frame `from` to frame `to`, multiplying before dividing and
// truncating toward zero.
RECT MapLayerRect(const RECT& r, const RECT& from, const RECT& to);
