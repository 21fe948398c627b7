# Read by CTest after the discovered tests. A case count in VKM_FUZZ_ITERATIONS (see
# tests/support/Fuzz.h) lifts the runner's limit of the tests that run that many cases: a
# long fuzzing run ends on a fault, never on the clock.
set(vkm_fuzz_cases "$ENV{VKM_FUZZ_ITERATIONS}")
if(vkm_fuzz_cases MATCHES "^[0-9]+$")
  # The slowest case (the main window and the options window opened over stored files)
  # takes about 50 ms on the build machine; room for three times that while the other
  # fuzzers run beside it.
  math(EXPR vkm_fuzz_timeout "120 + ${vkm_fuzz_cases} * 150 / 1000")
  foreach(vkm_folder platform link drivers settings windows alignment tools)
    foreach(vkm_test IN LISTS test_${vkm_folder}_TESTS)
      if(vkm_test MATCHES "Fuzz|OperatorDrive")
        set_tests_properties("${vkm_test}" PROPERTIES TIMEOUT ${vkm_fuzz_timeout})
      endif()
    endforeach()
  endforeach()
endif()
