// Atoms by name, asked of the server once per thread and name.
#pragma once

struct _XDisplay;

// None (0) when the server refuses. Atoms belong to the server, not to one
// connection, and every connection of ours goes to the same server.
unsigned long AtomNamed(_XDisplay* display, const char* name);
