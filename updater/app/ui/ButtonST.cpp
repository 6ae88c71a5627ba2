#include "ButtonST.h"

#include <string>

CButtonST::CButtonST()
    : m_colours{GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE),
                GetSysColor(COLOR_BTNTEXT)} {}

CButtonST::~CButtonST() {
  DropBackground();
  FreeIcons();
  if (m_hWnd != nullptr) UnsubclassWindow();  // the control may outlive us
}

LRESULT CButtonST::ButtonWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDBLCLK) message = WM_LBUTTONDOWN;
  return WindowProc(window, message, wParam, lParam);
}

BOOL CButtonST::SubclassButton(HWND control) {
  const LONG style = static_cast<LONG>(GetWindowLongPtrW(control, GWL_STYLE));
  SetWindowLongPtrW(control, GWL_STYLE, style | BS_OWNERDRAW);
  m_checkBox = (style & 0x2) != 0;  // BS_CHECKBOX and BS_AUTOCHECKBOX
  return SubclassWindow(control);
}

DWORD CButtonST::SetIcons(int hoverId, int normalId, HINSTANCE module) {
  if (module == nullptr) module = GetModuleHandleW(nullptr);
  HICON hover = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(hoverId), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
  HICON normal = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(normalId), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
  return SetIcons(hover, normal);
}

DWORD CButtonST::SetIcons(HICON hover, HICON normal) {
  FreeIcons();
  m_icons[0].icon.reset(hover);
  m_icons[1].icon.reset(normal);
  for (Icon& slot : m_icons) {
    if (slot.icon == nullptr && &slot == &m_icons[1]) continue;  // no normal icon: slot 1 stays empty
    ICONINFO info{};
    if (!GetIconInfo(slot.icon.get(), &info)) {
      FreeIcons();
      return 1;
    }
    // Copies made for the caller: only the hot spot is wanted.
    const UniqueGdiObject colour(info.hbmColor), mask(info.hbmMask);
    // Icons report their hot spot at their centre.
    slot.width = static_cast<int>(info.xHotspot * 2);
    slot.height = static_cast<int>(info.yHotspot * 2);
  }
  if (IsWindow()) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  return 0;
}

void CButtonST::SetFlatStyle(bool flat) {
  m_flat = flat;
  if (IsWindow()) Invalidate();
}

void CButtonST::SetBorderOnHover(bool border) { m_borderOnHover = border; }

void CButtonST::SetTransparent(bool repaint) {
  m_transparent = true;
  DropBackground();  // the next paint takes a new snapshot
  if (repaint && IsWindow()) Invalidate();
}

void CButtonST::FreeIcons() {
  for (Icon& slot : m_icons) slot = Icon();
}

void CButtonST::DropBackground() {
  m_bmpBkSelected = ScopedSelect();
  m_bmpBk.reset();
  m_dcBk.reset();
}

void CButtonST::HoverOff() {
  if (!m_flat || !m_hover) return;
  m_hover = false;
  Invalidate();
}

LRESULT CButtonST::OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  const LRESULT result = DefWindowProc(message, wParam, lParam);
  const bool leftDown = GetKeyState(VK_LBUTTON) < 0;
  if (!m_flat || (leftDown && !m_hover)) return result;
  if (GetCapture() != m_hWnd && GetActiveWindow() != nullptr && GetParent() != nullptr) {
    m_hover = true;
    SetCapture(m_hWnd);
    Invalidate();
    return result;
  }
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ClientToScreen(&point);
  const HWND under = WindowFromPoint(point);
  if (under == nullptr || under == m_hWnd) return result;
  // The mouse has left.
  if (m_hover) {
    m_hover = false;
    Invalidate();
  }
  if (!leftDown) ReleaseCapture();
  return result;
}

LRESULT CButtonST::OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  const LRESULT result = DefWindowProc(message, wParam, lParam);
  HoverOff();
  return result;
}

LRESULT CButtonST::OnActivate(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  const LRESULT result = DefWindowProc(message, wParam, lParam);
  if (LOWORD(wParam) == WA_INACTIVE) HoverOff();
  return result;
}

LRESULT CButtonST::OnEnable(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  const LRESULT result = DefWindowProc(message, wParam, lParam);
  if (!wParam) HoverOff();
  return result;
}

LRESULT CButtonST::OnCancelMode(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  const LRESULT result = DefWindowProc(message, wParam, lParam);
  HoverOff();
  return result;
}

LRESULT CButtonST::OnCaptureChanged(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  if (m_hover) {
    ReleaseCapture();
    Invalidate();
  }
  return DefWindowProc(message, wParam, lParam);
}

LRESULT CButtonST::OnSysColorChange(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  const LRESULT result = DefWindowProc(message, wParam, lParam);
  DropBackground();
  return result;
}

LRESULT CButtonST::OnClicked(WORD, WORD, HWND, BOOL&) {
  if (m_checkBox) {
    m_checked = !m_checked;
    Invalidate();
  }
  return 0;
}

LRESULT CButtonST::OnCtlColor(UINT, WPARAM, LPARAM, BOOL&) {
  return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

void CButtonST::PaintFace(HDC dc, const RECT& rect) {
  const UniqueGdiObject brush(CreateSolidBrush(m_colours[m_hover || m_pressed ? 0 : 2]));
  FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void CButtonST::PaintBorder(HDC dc, const RECT& rect) {
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  if (m_pressed) atl::CDCHandle(dc).Draw3dRect(&rect, shadow, highlight);
  else atl::CDCHandle(dc).Draw3dRect(&rect, highlight, shadow);
}

void CButtonST::PaintParentBackground(HDC dc) {
  const HWND parent = GetParent();
  const ScopedWindowDc parentDc(parent);
  RECT client{}, window{};
  GetClientRect(&client);
  GetWindowRect(&window);
  POINT origin{window.left, window.top};
  ::ScreenToClient(parent, &origin);
  const int width = client.right - client.left, height = client.bottom - client.top;
  if (m_dcBk == nullptr) {
    m_dcBk.reset(CreateCompatibleDC(parentDc.get()));
    m_bmpBk.reset(CreateCompatibleBitmap(parentDc.get(), width, height));
    m_bmpBkSelected = ScopedSelect(m_dcBk.get(), m_bmpBk.get());
    ::BitBlt(m_dcBk.get(), 0, 0, width, height, parentDc.get(), origin.x, origin.y, SRCCOPY);
  }
  ::BitBlt(dc, 0, 0, width, height, m_dcBk.get(), 0, 0, SRCCOPY);
}

void CButtonST::PaintIcon(HDC dc, const RECT& item, RECT* caption) {
  if (m_icons[0].icon == nullptr) return;
  const bool useNormal = m_icons[1].icon != nullptr && (m_checkBox ? !m_pressed : !m_hover && !m_pressed);
  const Icon& icon = m_icons[useNormal ? 1 : 0];
  const int width = item.right - item.left, height = item.bottom - item.top;
  RECT image = item;
  if (GetWindowTextLength() > 0) {
    image.left += 3;
    caption->left += icon.width + 3;
  } else {
    image.left += (width - icon.width) >> 1;
  }
  image.top += (height - icon.height) >> 1;
  if (m_pressed && !m_checkBox) OffsetRect(&image, 1, 1);
  DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.icon.get()), 0, image.left, image.top,
             image.right - image.left, image.bottom - image.top, DST_ICON | (m_disabled ? DSS_DISABLED : DSS_NORMAL));
}

void CButtonST::PaintCaption(HDC dc, RECT caption) {
  const int length = GetWindowTextLength();
  if (length <= 0) return;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(m_hWnd, &text[0], length + 1);
  text.resize(static_cast<size_t>(length));
  if (m_pressed && !m_checkBox) OffsetRect(&caption, 1, 1);
  RECT centre = caption;
  DrawTextW(dc, text.c_str(), -1, &centre, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  OffsetRect(&centre, ((caption.right - caption.left) - (centre.right - centre.left)) / 2,
             ((caption.bottom - caption.top) - (centre.bottom - centre.top)) / 2);
  if (m_disabled) {
    OffsetRect(&centre, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextW(dc, text.c_str(), -1, &centre, DT_CENTER | DT_WORDBREAK);
    OffsetRect(&centre, -1, -1);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawTextW(dc, text.c_str(), -1, &centre, DT_CENTER | DT_WORDBREAK);
    return;
  }
  const bool lit = m_hover || m_pressed;
  SetTextColor(dc, m_colours[lit ? 1 : 3]);
  SetBkColor(dc, m_colours[lit ? 0 : 2]);
  DrawTextW(dc, text.c_str(), -1, &centre, DT_CENTER | DT_WORDBREAK);
}

LRESULT CButtonST::OnDrawItem(UINT, WPARAM, LPARAM lParam, BOOL&) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  HDC dc = item->hDC;
  m_pressed = (item->itemState & ODS_SELECTED) != 0 || (m_checkBox && m_checked);
  m_disabled = (item->itemState & ODS_DISABLED) != 0;
  const RECT rect = item->rcItem;
  SetBkMode(dc, TRANSPARENT);
  if (m_transparent) PaintParentBackground(dc);
  else PaintFace(dc, rect);
  if (m_flat && m_borderOnHover) {
    if (m_pressed) PaintBorder(dc, rect);
    else if (m_hover) atl::CDCHandle(dc).Draw3dRect(&rect, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
  }
  RECT caption = rect;
  PaintIcon(dc, rect, &caption);
  PaintCaption(dc, caption);
  return 1;
}
