# Capture benchmark: run by hand under tests/tools/with-xvfb.sh.
add_executable(bench_capture ${CMAKE_CURRENT_SOURCE_DIR}/capture/CaptureBench.cpp)
target_link_libraries(bench_capture PRIVATE corvane_common bench_support Dep::X11 Dep::Xext)
set_target_properties(bench_capture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
