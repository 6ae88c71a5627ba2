// Lays out a short text in a small tag language (b, i, u, s, font, spacer,
// lhi, br, align) once, and paints the laid-out runs clipped on demand.
#pragma once

#include <platform/Gdi.h>

#include <list>
#include <string>

class CHtmlStringDraw {
 public:
  // One laid-out run; while laying out, also the running style.
  struct Run {
    int block = 0;
    int line = 0;
    int start = 0;   // in the source, characters
    int length = 0;  // in the source, characters
    RECT rect{};     // top-left: the pen; size: the measured extent
    COLORREF colour = 0;
    LOGFONTW font{};
  };

  CHtmlStringDraw() = default;
  virtual ~CHtmlStringDraw() = default;
  CHtmlStringDraw(const CHtmlStringDraw&) = delete;
  CHtmlStringDraw& operator=(const CHtmlStringDraw&) = delete;

  // A null font selects the system status-bar font. Does not lay out.
  void SetText(const std::wstring& text, const LOGFONTW* defaultFont);
  // Measures on a screen DC; flag has no effect.
  void Layout(const RECT& rect, int flag);
  // Every run meeting clip (every run for null), clipped to clip or the layout rect.
  void Draw(HDC dc, const RECT* clip);

  const std::list<Run>& Runs() const { return m_runs; }
  // A run's text as painted: the source part with its entities replaced.
  std::wstring RunText(const Run& run) const;

 private:
  struct LayoutState;

  bool EmitRun(LayoutState& state, int start, int length);
  void ProcessTag(LayoutState& state, const std::wstring& tag);
  void EndLine(LayoutState& state);
  void EndBlock(LayoutState& state);

  const LOGFONTW* m_defaultFont = nullptr;
  std::wstring m_text;
  RECT m_layoutRect{};
  std::list<Run> m_runs;
};
