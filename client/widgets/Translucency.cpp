#include "Translucency.h"

#include <QGuiApplication>

#include <platform/Dwm.h>

bool windowsAreTranslucent() {
  // Other platforms (offscreen in the tests) keep every pixel with its alpha.
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return true;
  BOOL enabled = FALSE;
  return DwmIsCompositionEnabled(&enabled) == S_OK && enabled;
}
