#include <platform/Dwm.h>
#include <platform/Kernel.h>

#include <string>

#include "XConnection.h"
#include "XAtoms.h"
#include "XErrorTrap.h"

#include <X11/Xlib.h>

HRESULT DwmIsCompositionEnabled(BOOL* enabled) {
  if (enabled == nullptr) return E_INVALIDARG;
  *enabled = FALSE;
  Display* display = ThreadDisplay();
  if (display == nullptr) return E_FAIL;
  // A compositing manager announces itself by owning this selection (EWMH).
  const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
  XErrorTrap trap(display);
  const Atom selection = AtomNamed(display, name.c_str());
  const Window owner = XGetSelectionOwner(display, selection);
  if (trap.Failed()) return E_FAIL;
  *enabled = owner != None ? TRUE : FALSE;
  return S_OK;
}
