# A box pulling 1920x1080 frames over loopback from the SDK casting a changing
# screen, beside ffmpeg's own x11grab + x264 on the same screen. Run by hand:
#   tests/tools/with-xvfb.sh build/bench/transctrl_bench [seconds]
# The box side is the simulated box of the tests.
if(NOT TARGET simbox)
  return()
endif()
add_executable(transctrl_bench ${CMAKE_CURRENT_LIST_DIR}/transctrl/TransCtrlBench.cpp)
target_link_libraries(transctrl_bench PRIVATE corvane_sdk_static simbox bench_support Dep::X11)
set_target_properties(transctrl_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
