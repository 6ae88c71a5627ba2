// The system's stock icons, drawn by the platform layer (32 x 32, straight
// alpha). They are shared: DestroyIcon leaves them alone.
#pragma once

#include <platform/Win32Types.h>

#ifndef MAKEINTRESOURCEW
#define MAKEINTRESOURCEW(id) (reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(id))))
#endif
#define IDI_ERROR MAKEINTRESOURCEW(32513)
#define IDI_QUESTION MAKEINTRESOURCEW(32514)
#define IDI_WARNING MAKEINTRESOURCEW(32515)
#define IDI_INFORMATION MAKEINTRESOURCEW(32516)

#ifndef ERROR_RESOURCE_NAME_NOT_FOUND
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814u
#endif

// A null instance: the stock icons (IDI_ ids). Any other instance: the
// program's icon resources (Resources.h), at their own size.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
