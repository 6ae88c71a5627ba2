// Owners for what Xlib hands out.
#pragma once

#include <platform/Unique.h>

struct _XImage;

// XFree for any Xlib result (property data, window lists, shapes, cursor images).
void FreeXData(void* data);
template <typename T>
void FreeXDataAs(T* data) {
  FreeXData(data);
}
template <typename T>
using XFreePtr = UniquePtr<T, FreeXDataAs<T>>;

// XDestroyImage is a macro; this frees the image and its pixels.
void DestroyImage(_XImage* image);
using XImagePtr = UniquePtr<_XImage, DestroyImage>;

// For an image whose pixels and segment record belong to someone else (an
// MIT-SHM image over our bitmap): only the structure is let go.
void DestroyImageHeader(_XImage* image);
using XImageHeaderPtr = UniquePtr<_XImage, DestroyImageHeader>;
