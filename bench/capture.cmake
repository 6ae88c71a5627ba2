# Capture benchmark: run by hand under tests/tools/with-xvfb.sh.
pkg_check_modules(XBENCH REQUIRED IMPORTED_TARGET x11 xext)
add_executable(bench_capture ${CMAKE_CURRENT_SOURCE_DIR}/capture/CaptureBench.cpp)
target_link_libraries(bench_capture PRIVATE corvane_common bench_support PkgConfig::XBENCH)
set_target_properties(bench_capture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
