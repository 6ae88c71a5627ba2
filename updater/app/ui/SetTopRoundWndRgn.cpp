#include "SetTopRoundWndRgn.h"

#include <platform/GdiOwners.h>

void SetTopRoundWndRgn(HWND window) {
  if (window == nullptr) return;
  RECT rect{};
  GetWindowRect(window, &rect);
  // One past the size: the region calls leave out the right and bottom edges.
  const int width = rect.right - rect.left + 1, height = rect.bottom - rect.top + 1;
  UniqueGdiObject round(CreateRoundRectRgn(0, 0, width, 20, 9, 9));
  UniqueGdiObject body(CreateRectRgn(0, 10, width, height));
  UniqueGdiObject combined(CreateRectRgn(0, 0, 0, 0));
  CombineRgn(static_cast<HRGN>(combined.get()), static_cast<HRGN>(round.get()), static_cast<HRGN>(body.get()),
             RGN_OR);
  // The window owns the combined region once it has taken it.
  if (SetWindowRgn(window, static_cast<HRGN>(combined.get()), TRUE)) combined.release();
}
