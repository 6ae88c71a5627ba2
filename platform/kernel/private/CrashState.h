// Whether a thread is inside the crash filter. Code shared with the crash path
// asks before doing what is not async-signal-safe (logging, allocating).
#pragma once

bool CrashInProgress();  // async-signal-safe
