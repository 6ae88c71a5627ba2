# The cost of one TraceInf call while 8 threads trace at once. Run by hand:
#   build/bench/updater_trace_bench [calls per thread]
if(NOT TARGET corvane_updater_engine)
  return()
endif()
add_executable(updater_trace_bench ${CMAKE_CURRENT_LIST_DIR}/updater_trace/TraceBench.cpp)
target_link_libraries(updater_trace_bench PRIVATE corvane_updater_engine bench_support)
set_target_properties(updater_trace_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
