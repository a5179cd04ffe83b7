# orvane_add_lab_test(NAME name COMMAND target-or-path [args...]
#                     [TOPOLOGY orvane-lab options...] [LABELS ...] [TIMEOUT s])
#
# Registers a CTest test that runs COMMAND inside a fresh lab's client
# namespace (tools/orvane-lab test ... -- COMMAND), with this build tree's
# arp-responder, and the hosts its sweeps remember kept in the build tree.
# As an ordinary user the command runs without a lab, so its
# tests must skip when not root. Always labelled "lab".
#
# include(${PROJECT_SOURCE_DIR}/tools/OrvaneLab.cmake) from any CMakeLists.
function(orvane_add_lab_test)
  cmake_parse_arguments(PARSE_ARGV 0 LT "" "NAME;TIMEOUT" "COMMAND;TOPOLOGY;LABELS")
  if(NOT LT_NAME OR NOT LT_COMMAND)
    message(FATAL_ERROR "orvane_add_lab_test: NAME and COMMAND are required")
  endif()
  list(POP_FRONT LT_COMMAND cmd)
  if(TARGET ${cmd})
    set(cmd $<TARGET_FILE:${cmd}>)
  endif()
  if(NOT LT_TIMEOUT)
    set(LT_TIMEOUT 300)
  endif()
  add_test(NAME ${LT_NAME}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/orvane-lab test ${LT_TOPOLOGY} -- ${cmd} ${LT_COMMAND})
  set_tests_properties(${LT_NAME} PROPERTIES
    LABELS "lab;${LT_LABELS}"
    TIMEOUT ${LT_TIMEOUT}
    ENVIRONMENT "ORVANE_ARP_RESPONDER=$<TARGET_FILE:arp-responder>;ORVANE_LAB_QUIET=1;XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-state")
endfunction()
