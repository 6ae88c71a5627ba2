// A logical font and the QFont that draws it.
#pragma once

#include <QFont>

#include "GdiObject.h"

class FontObject : public GdiObject {
 public:
  LOGFONTW logFont{};
  QFont font;
  bool stock = false;
};

// The QFont a LOGFONTW asks for, with the face's fallback applied.
QFont QFontFromLogFont(const LOGFONTW& logFont);
// The platform's default UI font as a LOGFONTW (negative pixel height).
LOGFONTW DefaultUiLogFont();
// The font a DC draws with.
QFont DcFont(const class DrawDc& dc);
// QtGui needs an application object for fonts and windows: made once, on the
// calling thread, when the program has none (offscreen without an X display).
void EnsureGuiApplication();
