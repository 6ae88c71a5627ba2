// Leaks of the system libraries under QtGui, outside our code: fontconfig
// keeps what it parsed of its configuration, Qt's D-Bus thread what it read
// last, the offscreen platform plugin its screen, and Mesa's GLX what it set
// up for the xcb GL integration (its stack only resolves with
// fast_unwind_on_malloc=0, as the screen tests run). Linked once into every
// test binary that starts a QGuiApplication (the qt_leak_suppressions target).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libqoffscreen.so\nleak:libGLX_mesa.so\n";
}
