# Capture benchmark: run by hand under tests/tools/with-xvfb.sh.
pkg_check_modules(XBENCH REQUIRED IMPORTED_TARGET x11 xext)
add_executable(bench_capture ${CMAKE_CURRENT_SOURCE_DIR}/capture/CaptureBench.cpp)
target_link_libraries(bench_capture PRIVATE corvane_common PkgConfig::XBENCH)
