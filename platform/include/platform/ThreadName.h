// Names the calling thread for debuggers and process listings.
#pragma once

// Names longer than the system allows (15 bytes) are cut at a character
// boundary. False when the system refused the name.
bool SetCurrentThreadName(const char* name);
