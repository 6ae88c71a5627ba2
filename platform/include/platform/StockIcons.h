// The system's stock icons, drawn by the platform layer (32 x 32, straight
// alpha). They are shared: DestroyIcon leaves them alone.
#pragma once

#include <platform/Win32Types.h>

#define MAKEINTRESOURCEW(id) (reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(id))))
#define IDI_ERROR MAKEINTRESOURCEW(32513)
#define IDI_QUESTION MAKEINTRESOURCEW(32514)
#define IDI_WARNING MAKEINTRESOURCEW(32515)
#define IDI_INFORMATION MAKEINTRESOURCEW(32516)

#ifndef ERROR_RESOURCE_NAME_NOT_FOUND
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814u
#endif

// Only the stock icons: instance must be null and name one of the IDI_ ids.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
