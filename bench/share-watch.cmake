# One watch step of the application-share indicators over 10, 50 and 200
# helper windows of the watched process, beside a bare walk of the same
# windows' process ids (the floor). Run by hand:
#   tests/tools/with-xvfb.sh build/bench/share_watch_bench
if(NOT TARGET xwindows_fixture)
  return()
endif()
add_executable(share_watch_bench ${CMAKE_CURRENT_LIST_DIR}/share_watch/ShareWatchBench.cpp)
target_link_libraries(share_watch_bench PRIVATE corvane_client fakesdk xwindows_fixture bench_support)
set_target_properties(share_watch_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
