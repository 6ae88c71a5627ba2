// Where the platform layer's log lines go: stderr until the program names its
// own log, so that a host's log shows what the platform saw.
#pragma once

// Receives one line without its newline. Called from any thread, possibly
// from several at once; never from the crash path, which writes on its own.
using PlatformLogSink = void (*)(const char* line);

// Null sends lines to stderr again. Returns the sink it replaces.
PlatformLogSink SetPlatformLogSink(PlatformLogSink sink);

// Puts sink in place only while expected is the one there (null: stderr), in
// one step; true when it did. A library lending its host's log uses this, so it
// neither replaces the program's own sink nor removes one it did not install.
bool ReplacePlatformLogSink(PlatformLogSink expected, PlatformLogSink sink);

// printf-style; one line per call.
void PlatformLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
