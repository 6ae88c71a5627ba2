// Captures what one monitor shows, restricted to a capture area, into a
// top-down 32-bit BGRX picture, optionally with the mouse cursor blended in.
#pragma once

#include <memory>

#include <QSize>

#include <platform/Gdi.h>
#include <platform/GdiOwners.h>
#include <platform/ScreenDamage.h>

#include "CatchAreaCfg.h"

class CScreenInfo {
 public:
  // Results of CatchScreenDIB besides a failed DIB creation's error number.
  // kUnchanged: nothing was drawn in the capture rectangle since the last
  // capture, whose picture the DIB still holds.
  enum { kUnchanged = -1, kCaptured = 0, kNoDC = 10, kNoArea = 13 };

  explicit CScreenInfo(int monitorIndex);
  CScreenInfo(const CScreenInfo&) = delete;
  CScreenInfo& operator=(const CScreenInfo&) = delete;
  virtual ~CScreenInfo();

  // 1 when the monitor exists and both DCs were made, else 0.
  int SetCurMonitor(int monitorIndex);
  bool IsMonitorValid() const;
  void SetDrawCursor(bool draw) { m_drawCursor = draw; }
  // Lets CatchScreenDIB answer kUnchanged on a still screen instead of reading
  // it again (not with a drawn-in cursor), and keep the monitor and the
  // region it worked out while no monitor and, for a window share, no window
  // changes.
  void SetSkipUnchanged(bool skip);
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
  // The monitor's rectangle asked for anew and the area's region built in it.
  bool BuildRegion();

  // Declared in the order they are made: the DIB goes first, the display DC last.
  UniqueDc m_screenDC;
  UniqueDc m_memDC;
  UniqueGdiObject m_dib;
  unsigned char* m_dibBits = nullptr;  // owned by the DIB
  int m_dibBytes = 0;
  RECT m_dibRect{0, 0, 0, 0};
  // The DIB holds the last capture of m_dibRect, and nothing reported a
  // change since.
  bool m_dibCaptured = false;
  std::unique_ptr<ScreenDamage> m_damage;
  // m_area's region was built for the monitor as it is, with the area's
  // revision m_areaRevision, and still holds while nothing is reported.
  bool m_regionHolds = false;
  unsigned m_areaRevision = 0;
  int m_bitsPerPixel = 32;
  bool m_drawCursor = false;
  CatchAreaCfg m_area;
  int m_monitorIndex = 0;
};
