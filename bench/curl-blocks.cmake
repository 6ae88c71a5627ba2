# Bare libcurl fetching 64 MiB as 10240-byte ranged GETs from four throttled
# nginx servers: the floor under the transfer engine's CPU time. Run by hand:
#   build/bench/curl_blocks_bench [runs]
if(NOT TARGET updateserver)
  return()
endif()
add_executable(curl_blocks_bench ${CMAKE_CURRENT_LIST_DIR}/curl_blocks/CurlBlocksBench.cpp)
target_link_libraries(curl_blocks_bench PRIVATE updateserver bench_support platform_kernel Dep::Curl)
set_target_properties(curl_blocks_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
