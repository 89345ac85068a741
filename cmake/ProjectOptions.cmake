# Compiler settings shared by every target of the project.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

set(QTR_WARNINGS -Wall -Wextra -Werror -Wno-unused-parameter -Wno-missing-field-initializers)

# Kernel code: C++17, no exceptions, no RTTI, no thread-safe statics (they
# would call into a C++ runtime the kernel does not have).
set(QTR_KERNEL_FLAGS -fno-exceptions -fno-rtti -fno-threadsafe-statics)

function(qtr_project_target target)
  target_compile_options(${target} PRIVATE ${QTR_WARNINGS})
endfunction()

function(qtr_kernel_target target)
  set_target_properties(${target} PROPERTIES CXX_STANDARD 17)
  target_compile_options(${target} PRIVATE ${QTR_WARNINGS} ${QTR_KERNEL_FLAGS})
endfunction()

# Registers a GoogleTest binary with CTest. LABEL tags its tests, e.g.
# `stress` for the concurrency stress tests (`ctest -L stress`).
function(qtr_add_test name)
  cmake_parse_arguments(TEST "" "LABEL" "" ${ARGN})
  add_executable(${name} ${TEST_UNPARSED_ARGUMENTS})
  qtr_project_target(${name})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock)
  if(TEST_LABEL)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${TEST_LABEL})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
  # Windows has 2-byte wchar_t; so does every translation unit of the host build.
  add_compile_options(-fshort-wchar)
endif()
