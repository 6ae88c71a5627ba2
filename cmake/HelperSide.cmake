# corvane_helper_side(<target> client|updater): the client's helpers (common/,
# client/) and the updater's (updater/engine/) are two builds of the same
# names (CmdParamDeal, CNamedEvent, Base64Encode, RunProcess, ...). A program
# linking both would mix them: the linker takes each name from the first
# library that defines it, so one side's code could call the other's.
# Each side's libraries carry their side, and CMake refuses, when it
# generates the build, any target whose links reach both sides: "The
# INTERFACE_CORVANE_HELPER_SIDE property of ... does not agree".
function(corvane_helper_side target side)
  if(NOT side MATCHES "^(client|updater)$")
    message(FATAL_ERROR "corvane_helper_side: ${target}: side is client or updater, not '${side}'")
  endif()
  set_property(TARGET ${target} APPEND PROPERTY COMPATIBLE_INTERFACE_STRING CORVANE_HELPER_SIDE)
  set_property(TARGET ${target} PROPERTY INTERFACE_CORVANE_HELPER_SIDE ${side})
endfunction()
