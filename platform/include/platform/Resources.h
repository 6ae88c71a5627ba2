// The program's own resources: what a Windows program keeps in its resource
// section (icons, dialog templates) is compiled into the program and
// registered under its id before the first window opens.
#pragma once

#include <platform/Win32Types.h>

#ifndef MAKEINTRESOURCEW
#define MAKEINTRESOURCEW(id) (reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(id))))
#endif

#define IMAGE_ICON 1u
#define LR_DEFAULTCOLOR 0x0000u
#define LR_SHARED 0x8000u

// An icon resource: an image file among the program's Qt resources
// (":/updater/icons/128.png"). The path must stay valid: pass a literal.
void RegisterIconResource(WORD id, const char* qtResourcePath);

// Any non-null instance is the program's own module. Size 0 x 0 gives the
// image's own size; another size scales it. The hot spot is the centre, as
// Windows gives it for icons. Null (ERROR_RESOURCE_NAME_NOT_FOUND) for an
// unknown id or an image that does not load.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags);

// Only the program itself (a null name) is a module here.
#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126u
#endif
HMODULE GetModuleHandleW(LPCWSTR name);
