#include "ScreenInfo.h"

#include <platform/Kernel.h>
#include <platform/User.h>

#include "CursorImage.h"
#include "Monitor.h"

namespace {

// The fill for excluded parts when the caller chose none: red 141, green 180, blue 226.
constexpr COLORREF kDefaultFill = 0xE2B48D;

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

}  // namespace

CScreenInfo::CScreenInfo(int monitorIndex) { SetCurMonitor(monitorIndex); }

CScreenInfo::~CScreenInfo() = default;

int CScreenInfo::SetCurMonitor(int monitorIndex) {
  m_monitorIndex = monitorIndex;
  if (!CMonitors().GetMonitor(monitorIndex).IsValid()) return 0;
  ReleaseDIB();
  ReleaseDCs();
  m_regionHolds = false;
  m_screenDC.reset(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
  if (m_screenDC) m_memDC.reset(CreateCompatibleDC(m_screenDC.get()));
  return m_screenDC != nullptr && m_memDC != nullptr ? 1 : 0;
}

bool CScreenInfo::IsMonitorValid() const { return CMonitors().GetMonitor(m_monitorIndex).IsValid(); }

QSize CScreenInfo::GetDIBSize() const { return QSize(Width(m_dibRect), Height(m_dibRect)); }

void CScreenInfo::SetSkipUnchanged(bool skip) {
  m_regionHolds = false;
  if (!skip) {
    m_damage.reset();
  } else if (!m_damage) {
    m_damage = std::make_unique<ScreenDamage>();
    if (!m_damage->IsActive()) m_damage.reset();
  }
}

void CScreenInfo::ReleaseDIB() {
  m_dibCaptured = false;
  m_dib.reset();
  m_dibBits = nullptr;
  m_dibBytes = 0;
  // Without a DIB there is no size either, so the next capture makes a new one.
  m_dibRect = RECT{0, 0, 0, 0};
}

void CScreenInfo::ReleaseDCs() {
  m_memDC.reset();
  m_screenDC.reset();
}

int CScreenInfo::CreateDIB(const RECT& rect) {
  ReleaseDIB();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = Width(rect);
  info.bmiHeader.biHeight = -Height(rect);  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(m_bitsPerPixel);
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  SetLastError(ERROR_SUCCESS);
  m_dib.reset(CreateDIBSection(m_screenDC.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!m_dib) {
    const DWORD error = GetLastError();
    // 0 would read as "captured" with no picture behind it.
    return error != ERROR_SUCCESS ? static_cast<int>(error) : static_cast<int>(ERROR_NOT_ENOUGH_MEMORY);
  }
  m_dibBits = static_cast<unsigned char*>(bits);
  m_dibBytes = Width(rect) * Height(rect) * (m_bitsPerPixel / 8);
  return kCaptured;
}

bool CScreenInfo::BuildRegion() {
  const CMonitor monitor = CMonitors().GetMonitor(m_monitorIndex);
  RECT monitorRect{};
  if (!monitor.IsValid() || !monitor.GetMonitorRect(monitorRect)) return false;
  if (Width(monitorRect) <= 0 || Height(monitorRect) <= 0) return false;
  m_area.BuildCatchRgn(monitorRect);
  return true;
}

int CScreenInfo::CatchScreenDIB() {
  if (!m_screenDC || !m_memDC) return kNoDC;
  ScreenDamage::Changes changes;
  if (m_damage) {
    // Windows can move, map and restack without a pixel changing under the
    // capture.
    if (m_area.FollowsWindows()) m_damage->WatchWindows();
    changes = m_damage->Take(m_dibRect);
  }
  // Reported changes are forgotten once taken: the picture is out of date
  // until a capture succeeds, whatever stops this one.
  if (changes.inside || changes.layout) m_dibCaptured = false;
  const bool regionHolds = m_regionHolds && !changes.layout && m_area.GetRevision() == m_areaRevision;
  if (!regionHolds) {
    m_regionHolds = false;
    if (!BuildRegion()) return kNoArea;
    // Only a watched screen reports when the region goes out of date. An
    // empty one holds as well: a share whose windows are all hidden does
    // not walk them again on every tick.
    m_regionHolds = m_damage != nullptr;
    m_areaRevision = m_area.GetRevision();
  }
  const RECT bound = m_area.GetBoundRect();
  if (Width(bound) <= 0 || Height(bound) <= 0) return kNoArea;
  if (!m_dib || Width(bound) != Width(m_dibRect) || Height(bound) != Height(m_dibRect)) {
    const int result = CreateDIB(bound);
    if (result != kCaptured) return result;
  }
  // The drawn-in cursor is no part of the damage.
  const bool sameRect = bound.left == m_dibRect.left && bound.top == m_dibRect.top &&
                        bound.right == m_dibRect.right && bound.bottom == m_dibRect.bottom;
  if (regionHolds && m_dibCaptured && sameRect && !m_drawCursor) return kUnchanged;
  m_dibRect = bound;
  m_dibCaptured = false;
  const DWORD rop = m_area.GetMode() == 2 ? SRCCOPY | CAPTUREBLT : SRCCOPY;
  HGDIOBJ previous = SelectObject(m_memDC.get(), m_dib.get());
  HRGN clip = m_area.GetCatchRgn();
  if (clip != nullptr) {
    if (m_area.GetFillBrush() == nullptr) m_area.SetFillColor(kDefaultFill);
    const RECT whole{0, 0, Width(bound), Height(bound)};
    FillRect(m_memDC.get(), &whole, m_area.GetFillBrush());
    // The DC takes a copy; the region stays in screen coordinates for the
    // ticks that keep it.
    OffsetRgn(clip, -bound.left, -bound.top);
    SelectClipRgn(m_memDC.get(), clip);
    OffsetRgn(clip, bound.left, bound.top);
  }
  m_dibCaptured =
      BitBlt(m_memDC.get(), 0, 0, Width(bound), Height(bound), m_screenDC.get(), bound.left, bound.top, rop) != FALSE;
  POINT cursor{};
  if (m_drawCursor && GetCursorPos(&cursor)) DrawCursor(cursor.x - bound.left, cursor.y - bound.top);
  SelectObject(m_memDC.get(), previous);
  if (clip != nullptr) SelectClipRgn(m_memDC.get(), nullptr);
  // The default fill chosen above is no change of the area.
  m_areaRevision = m_area.GetRevision();
  return kCaptured;
}

bool CScreenInfo::DrawCursor(int x, int y) {
  if (m_dibBits == nullptr) return false;
  CURSORINFO cursorInfo{};
  cursorInfo.cbSize = sizeof(cursorInfo);
  if (!GetCursorInfo(&cursorInfo)) return false;
  const UniqueIcon icon(CopyIcon(cursorInfo.hCursor));
  if (!icon) return false;
  ICONINFO iconInfo{};
  if (!GetIconInfo(icon.get(), &iconInfo)) return false;
  const UniqueGdiObject maskOwner(iconInfo.hbmMask);
  const UniqueGdiObject colorOwner(iconInfo.hbmColor);
  BitmapBytes mask, color;
  if (!ReadBitmapBytes(iconInfo.hbmMask, mask)) return false;
  const bool hasColor = iconInfo.hbmColor != nullptr;
  if (hasColor && !ReadBitmapBytes(iconInfo.hbmColor, color)) return false;
  CursorImage image;
  if (!MakeCursorImage(mask, hasColor ? &color : nullptr, image)) return false;
  BlendCursorImage(image, x - static_cast<int>(iconInfo.xHotspot), y - static_cast<int>(iconInfo.yHotspot), m_dibBits,
                   Width(m_dibRect), Height(m_dibRect));
  return true;
}
