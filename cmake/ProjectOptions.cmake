# Shared compile settings: warnings for our own targets, sanitizers and the
# fuzzing helpers. Every target of ours calls project_target() once.

set(PROJECT_WARNINGS -Wall -Wextra)
if(WARNINGS_AS_ERRORS)
  list(APPEND PROJECT_WARNINGS -Werror)
endif()

if(ENABLE_SANITIZERS)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(ENABLE_FUZZING)
  # Everything is instrumented for coverage; only the fuzz executables get
  # libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(project_target target)
  target_compile_options(${target} PRIVATE ${PROJECT_WARNINGS})
endfunction()

# project_test(name SOURCES ... LIBS ... [LABELS label] [RESOURCE_LOCK name]
#              [TEST_PREFIX text]):
# a GoogleTest executable registered with CTest. Tests sharing a
# RESOURCE_LOCK (fixed loopback ports, say) never run side by side.
# TEST_PREFIX tells apart test names that two executables share. Tests
# are skipped entirely in the fuzzing build.
function(project_test name)
  if(ENABLE_FUZZING)
    return()
  endif()
  cmake_parse_arguments(T "" "RESOURCE_LOCK;TEST_PREFIX" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  project_target(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set(props "")
  if(T_LABELS)
    # gtest_discover_tests hands a second label on as a property name of its
    # own, so the test would silently carry only the first.
    list(LENGTH T_LABELS label_count)
    if(label_count GREATER 1)
      message(FATAL_ERROR "project_test(${name}): one label per test, got ${T_LABELS}")
    endif()
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  set(prefix "")
  if(T_TEST_PREFIX)
    set(prefix TEST_PREFIX ${T_TEST_PREFIX})
  endif()
  if(props)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${prefix} PROPERTIES ${props})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${prefix})
  endif()
endfunction()

# project_fuzzer(name SOURCES ... LIBS ... CORPUS dir): a libFuzzer target,
# built only when ENABLE_FUZZING is on. CORPUS names the seed folder the CI
# run starts from (kept in the repository, regression inputs included).
set_property(GLOBAL PROPERTY PROJECT_FUZZERS "")
function(project_fuzzer name)
  if(NOT ENABLE_FUZZING)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  project_target(${name})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY PROJECT_FUZZERS "${name}|${F_CORPUS}")
endfunction()
