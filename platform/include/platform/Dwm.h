// Desktop composition: whether windows can be translucent.
#pragma once

#include <platform/Win32Types.h>

typedef LONG HRESULT;
#ifndef S_OK
#define S_OK 0
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG static_cast<HRESULT>(0x80070057u)
#endif
#ifndef E_FAIL
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#endif

// *enabled is TRUE when a compositing manager owns the selection
// _NET_WM_CM_S<screen> of the default screen. Without an X server it is FALSE
// and the result E_FAIL.
HRESULT DwmIsCompositionEnabled(BOOL* enabled);
