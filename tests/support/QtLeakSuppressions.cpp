// Leaks of the system libraries under QtGui, outside our code: fontconfig
// keeps what it parsed of its configuration, Qt's D-Bus thread what it read
// last, and the offscreen platform plugin its screen. Linked once into every
// test binary that starts a QGuiApplication (the qt_leak_suppressions target).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libqoffscreen.so\n";
}
