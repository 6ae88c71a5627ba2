// The sending half of the message ports, for SendMessageTimeoutW.
#pragma once

#include <platform/User.h>

LRESULT SendPortMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs,
                        PDWORD_PTR result);
