# One file from four throttled servers, fetched by the transfer engine
# (transfer, decode, check) and by aria2c given the same four URLs. Run by hand:
#   build/bench/updater_transfer_bench [scripted] [nginx]
if(NOT TARGET updateserver OR NOT TARGET corvane_updater_transfer)
  return()
endif()
add_executable(updater_transfer_bench ${CMAKE_CURRENT_LIST_DIR}/updater_transfer/TransferBench.cpp)
target_link_libraries(updater_transfer_bench PRIVATE corvane_updater_transfer updateserver updatefixture bench_support
  Threads::Threads)
set_target_properties(updater_transfer_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
