// Owners for what Xlib hands out.
#pragma once

#include <platform/Unique.h>

struct _XImage;

// A typed owner's deleter over a C free function that takes any pointer.
template <void (*Free)(void*), typename T>
void FreeAsVoid(T* data) {
  Free(data);
}

// XFree for any Xlib result (property data, window lists, shapes, cursor images).
void FreeXData(void* data);
template <typename T>
using XFreePtr = UniquePtr<T, FreeAsVoid<FreeXData, T>>;

// XFreeStringList for a text property's list of strings.
void FreeStringList(char** list);
using XStringListPtr = UniquePtr<char*, FreeStringList>;

// XDestroyImage is a macro; this frees the image and its pixels.
void DestroyImage(_XImage* image);
using XImagePtr = UniquePtr<_XImage, DestroyImage>;

// For an image whose pixels and segment record belong to someone else (an
// MIT-SHM image over our bitmap): only the structure is let go.
void DestroyImageHeader(_XImage* image);
using XImageHeaderPtr = UniquePtr<_XImage, DestroyImageHeader>;

// xcb hands replies and errors over as malloc'd blocks.
void FreeXcbReply(void* reply);
template <typename T>
using XcbReplyPtr = UniquePtr<T, FreeAsVoid<FreeXcbReply, T>>;

// The reply, or null when the request failed: the error comes with the reply
// instead of going to the Xlib handler, so no trap and no sync are needed.
template <typename Connection, typename Cookie, typename Reply, typename Error>
XcbReplyPtr<Reply> TakeReply(Connection* xcb, Reply* (*replyFn)(Connection*, Cookie, Error**), Cookie cookie) {
  Error* error = nullptr;
  XcbReplyPtr<Reply> reply(replyFn(xcb, cookie, &error));
  if (error != nullptr) {
    FreeXcbReply(error);
    reply.reset();
  }
  return reply;
}
