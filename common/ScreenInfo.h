// Captures what one monitor shows, restricted to a capture area, into a
// top-down 32-bit BGRX picture, optionally with the mouse cursor blended in.
#pragma once

#include <QSize>

#include <platform/Gdi.h>
#include <platform/GdiOwners.h>

#include "CatchAreaCfg.h"

class CScreenInfo {
 public:
  // Results of CatchScreenDIB besides a failed DIB creation's error number.
  enum { kCaptured = 0, kNoDC = 10, kNoArea = 13 };

  explicit CScreenInfo(int monitorIndex);
  CScreenInfo(const CScreenInfo&) = delete;
  CScreenInfo& operator=(const CScreenInfo&) = delete;
  virtual ~CScreenInfo();

  // 1 when the monitor exists and both DCs were made, else 0.
  int SetCurMonitor(int monitorIndex);
  bool IsMonitorValid() const;
  void SetDrawCursor(bool draw) { m_drawCursor = draw; }
  CatchAreaCfg& GetCatchAreaCfg() { return m_area; }

  int CatchScreenDIB();
  unsigned char* GetDIBBits() const { return m_dibBits; }
  int GetDIBBytes() const { return m_dibBytes; }
  QSize GetDIBSize() const;
  // Blends the current cursor with its hot spot at (x, y) of the DIB.
  bool DrawCursor(int x, int y);

 private:
  void ReleaseDIB();
  void ReleaseDCs();
  int CreateDIB(const RECT& rect);

  // Declared in the order they are made: the DIB goes first, the display DC last.
  UniqueDc m_screenDC;
  UniqueDc m_memDC;
  UniqueGdiObject m_dib;
  unsigned char* m_dibBits = nullptr;  // owned by the DIB
  int m_dibBytes = 0;
  RECT m_dibRect{0, 0, 0, 0};
  int m_bitsPerPixel = 32;
  bool m_drawCursor = false;
  CatchAreaCfg m_area;
  int m_monitorIndex = 0;
};
