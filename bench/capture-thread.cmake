# Frame-request latency of the capture thread at 1920x1080 beside the encoder
# alone on the same pictures. Run by hand under an X server of its own:
#   tests/tools/with-xvfb.sh build/bench/capture_thread_bench [requests]
add_executable(capture_thread_bench ${CMAKE_CURRENT_LIST_DIR}/capture_thread/CaptureThreadBench.cpp)
target_link_libraries(capture_thread_bench PRIVATE corvane_sdk_static bench_support Dep::X11)
set_target_properties(capture_thread_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
