// Where the program lives and which version the updater installed there.
#pragma once

class QString;

// The running executable's folder, ending in '/' (also when called from inside
// the SDK library); the empty text when the executable's path is unknown.
QString GetModuleDir();
// "Ver" of section "VER" in the UpdateInfo.ini beside the executable; empty when missing.
QString GetAppVersion();
void SleepMs(unsigned int milliseconds);
