#include "XOwners.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

void FreeXData(void* data) { XFree(data); }

void FreeStringList(char** list) { XFreeStringList(list); }

void FreeXcbReply(void* reply) { std::free(reply); }

void DestroyImage(_XImage* image) { XDestroyImage(image); }

void DestroyImageHeader(_XImage* image) {
  image->data = nullptr;
  image->obdata = nullptr;
  XDestroyImage(image);
}
