// The local IPv4 address text the error report carries.
#pragma once

#include <cstddef>

// At least 16 bytes. The first address of the own host name in dotted form;
// false with the empty text when there is none.
bool GetLocalIPv4(char* buffer, size_t size);
