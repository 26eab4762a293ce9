# Settings every build of the kit shares, whether it is configured from the
# top (the whole kit) or from vidscribe/ alone (the media library): the
# language, the build options, the compile flags of ProjectOptions, and the
# packages everything uses. Included right after project().
include_guard(GLOBAL)

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
endif()

option(ENABLE_SANITIZERS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ENABLE_TSAN "Build with ThreadSanitizer (make tsan builds only the threaded parts)" OFF)
option(ENABLE_FUZZING "Build the libFuzzer targets (needs clang)" OFF)
option(WARNINGS_AS_ERRORS "Treat warnings in our code as errors" OFF)

include(ProjectOptions)
include(GNUInstallDirs)

find_package(Threads REQUIRED)
# zlib is found this one way everywhere and used as ZLIB::ZLIB.
find_package(ZLIB REQUIRED)

if(NOT ENABLE_FUZZING)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
