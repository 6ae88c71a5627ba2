# The SDK against a box that misbehaves: stop behind a burst of frame
# requests, bodies with repeated keys, one huge body, extreme aspect ratios,
# a box that reads nothing. Run by hand:
#   tests/tools/with-xvfb.sh build/bench/hostile_box_bench [scenario ...]
if(NOT TARGET simbox)
  return()
endif()
add_executable(hostile_box_bench ${CMAKE_CURRENT_LIST_DIR}/hostile/HostileBoxBench.cpp)
target_link_libraries(hostile_box_bench PRIVATE corvane_sdk_static simbox bench_support Dep::X11)
set_target_properties(hostile_box_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
