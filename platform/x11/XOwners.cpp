#include "XOwners.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

void FreeXData(void* data) { XFree(data); }

void DestroyImage(_XImage* image) { XDestroyImage(image); }

void DestroyImageHeader(_XImage* image) {
  image->data = nullptr;
  image->obdata = nullptr;
  XDestroyImage(image);
}
