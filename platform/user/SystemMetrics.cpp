#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include <platform/User.h>

#include <cstring>

#include "FontObject.h"

namespace {

struct SysColor {
  int index;
  COLORREF color;
};

// A light, neutral scheme: the colours a classic desktop gives these indexes.
constexpr SysColor kSysColors[] = {
    {COLOR_WINDOW, RGB(255, 255, 255)},      {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
    {COLOR_BTNFACE, RGB(240, 240, 240)},     {COLOR_BTNSHADOW, RGB(160, 160, 160)},
    {COLOR_GRAYTEXT, RGB(109, 109, 109)},    {COLOR_BTNTEXT, RGB(0, 0, 0)},
    {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_3DDKSHADOW, RGB(105, 105, 105)},
    {COLOR_3DLIGHT, RGB(227, 227, 227)},
};

}  // namespace

DWORD GetSysColor(int index) {
  for (const SysColor& entry : kSysColors) {
    if (entry.index == index) return entry.color;
  }
  return 0;
}

HBRUSH GetSysColorBrush(int index) {
  // One brush per index for the process's life, as the system's are.
  static HBRUSH brushes[32] = {};
  if (index < 0 || index >= 32) return nullptr;
  if (brushes[index] == nullptr) brushes[index] = CreateSolidBrush(GetSysColor(index));
  return brushes[index];
}

BOOL SystemParametersInfoW(UINT action, UINT size, LPVOID buffer, UINT) {
  if (action != SPI_GETNONCLIENTMETRICS || buffer == nullptr || size != sizeof(NONCLIENTMETRICSW) ||
      static_cast<NONCLIENTMETRICSW*>(buffer)->cbSize != sizeof(NONCLIENTMETRICSW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  metrics.iBorderWidth = 1;
  metrics.iCaptionHeight = 22;
  metrics.iSmCaptionHeight = 18;
  metrics.iMenuHeight = 20;
  const LOGFONTW ui = DefaultUiLogFont();
  metrics.lfCaptionFont = metrics.lfSmCaptionFont = metrics.lfMenuFont = ui;
  metrics.lfStatusFont = metrics.lfMessageFont = ui;
  std::memcpy(buffer, &metrics, sizeof(metrics));
  return TRUE;
}
