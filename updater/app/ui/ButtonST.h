// An owner-drawn flat button: one icon while the mouse is away, another while
// it is over the button or the button is pressed, painted over a snapshot of
// the parent's background. The parent reflects owner-draw and command
// notifications back to it.
#pragma once

#include <platform/GdiOwners.h>
#include <platform/Resources.h>
#include <platform/atl/AtlCtrls.h>
#include <platform/atl/AtlGdi.h>
#include <platform/atl/AtlWindowImpl.h>

class CButtonST : public atl::CWindowImpl<CButtonST, atl::CButton> {
 public:
  CButtonST();
  ~CButtonST() override;

  BOOL SubclassButton(HWND control);
  // Null module: the program's own. 0 on success, 1 when an icon is unusable.
  DWORD SetIcons(int hoverId, int normalId, HINSTANCE module = nullptr);
  DWORD SetIcons(HICON hover, HICON normal);
  void SetFlatStyle(bool flat);
  void SetBorderOnHover(bool border);
  void SetTransparent(bool repaint);

  // A double click acts as two clicks.
  WNDPROC GetWindowProc() override { return ButtonWindowProc; }

  BEGIN_MSG_MAP(CButtonST)
  MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
  MESSAGE_HANDLER(WM_KILLFOCUS, OnKillFocus)
  MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
  MESSAGE_HANDLER(WM_ENABLE, OnEnable)
  MESSAGE_HANDLER(WM_CANCELMODE, OnCancelMode)
  MESSAGE_HANDLER(WM_CAPTURECHANGED, OnCaptureChanged)
  MESSAGE_HANDLER(WM_SYSCOLORCHANGE, OnSysColorChange)
  REFLECTED_COMMAND_CODE_HANDLER(BN_CLICKED, OnClicked)
  MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
  MESSAGE_HANDLER(OCM_CTLCOLORBTN, OnCtlColor)
  END_MSG_MAP()

  // What tests read of the state.
  bool IsHovering() const { return m_hover; }

 protected:
  virtual void PaintFace(HDC dc, const RECT& rect);
  virtual void PaintBorder(HDC dc, const RECT& rect);

 private:
  struct Icon {
    UniqueIcon icon;
    int width = 0;
    int height = 0;
  };

  static LRESULT ButtonWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnKillFocus(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnActivate(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEnable(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCancelMode(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSysColorChange(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnClicked(WORD, WORD, HWND, BOOL&);
  LRESULT OnDrawItem(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCtlColor(UINT, WPARAM, LPARAM, BOOL&);

  void HoverOff();
  void FreeIcons();
  void DropBackground();
  void PaintParentBackground(HDC dc);
  void PaintIcon(HDC dc, const RECT& item, RECT* caption);
  void PaintCaption(HDC dc, RECT caption);

  bool m_hover = false;
  bool m_transparent = false;
  bool m_pressed = false;
  bool m_disabled = false;
  bool m_borderOnHover = true;
  bool m_flat = true;
  bool m_checkBox = false;
  bool m_checked = false;
  // The parent's background as it was under the button; the selection is
  // declared last so that it ends first, before the bitmap and the DC.
  UniqueDc m_dcBk;
  UniqueGdiObject m_bmpBk;
  ScopedSelect m_bmpBkSelected;
  COLORREF m_colours[4];
  Icon m_icons[2];  // 0: hover or pressed, 1: normal
};
