# One 64 MiB GET through the WinHTTP layer against nginx on 127.0.0.1,
# unthrottled, beside curl on the same file. Run by hand:
#   build/bench/winhttp_bench [runs]
# The nginx fixture is the tests' own.
if(NOT TARGET updateserver)
  return()
endif()
add_executable(winhttp_bench ${CMAKE_CURRENT_LIST_DIR}/winhttp/WinHttpBench.cpp)
target_link_libraries(winhttp_bench PRIVATE platform_winhttp updateserver Threads::Threads)
set_target_properties(winhttp_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
