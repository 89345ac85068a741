# Fuzz targets. With QTR_FUZZ (the `fuzz` preset, clang) each target links
# libFuzzer and is run by hand: build/fuzz/<dir>/<name> <corpus dir>, or all
# of them by `make fuzz`, which reads the list of targets and their corpora
# from build/fuzz/fuzz_targets.txt. In the other host builds the same target
# replays its stored corpus once as a test.
option(QTR_FUZZ "Build the fuzz targets with libFuzzer" OFF)

set(QTR_FUZZ_LIST ${CMAKE_BINARY_DIR}/fuzz_targets.txt)
if(QTR_FUZZ)
  file(WRITE ${QTR_FUZZ_LIST} "")
  add_compile_options(-fsanitize-coverage-ignorelist=${CMAKE_SOURCE_DIR}/tools/fuzz/coverage_ignorelist.txt)
endif()

# The simulated machine's own code is not what the fuzz targets test. Built
# without coverage feedback it costs neither the comparison hooks nor the
# counters libFuzzer reads after every input (for the plugging targets most
# of their time); ASan, UBSan and the verifier still check it. Sources a
# target does test keep their coverage (qtr_fuzz_covered_sources, in the
# directory that defines their target).
set(QTR_FUZZ_COVERAGE inline-8bit-counters,indirect-calls,trace-cmp,pc-table,stack-depth)
function(qtr_fuzz_without_coverage)
  if(QTR_FUZZ)
    foreach(target ${ARGN})
      # (The coverage ignore list then has nothing to apply to.)
      target_compile_options(${target} PRIVATE -fno-sanitize-coverage=${QTR_FUZZ_COVERAGE}
                             -Wno-unused-command-line-argument)
    endforeach()
  endif()
endfunction()
function(qtr_fuzz_covered_sources)
  if(QTR_FUZZ)
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS -fsanitize-coverage=${QTR_FUZZ_COVERAGE})
  endif()
endfunction()

function(qtr_add_fuzz_target name)
  cmake_parse_arguments(FUZZ "" "CORPUS" "SOURCES;LIBRARIES" ${ARGN})
  if(QTR_FUZZ)
    add_executable(${name} ${FUZZ_SOURCES} ${CMAKE_SOURCE_DIR}/tools/fuzz/asan_options.cpp)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # One line per target: its name, its program, its stored corpus.
    file(APPEND ${QTR_FUZZ_LIST} "${name} ${CMAKE_CURRENT_BINARY_DIR}/${name} ${FUZZ_CORPUS}\n")
  else()
    add_executable(${name} ${FUZZ_SOURCES} ${CMAKE_SOURCE_DIR}/tools/fuzz/corpus_replay.cpp)
    add_test(NAME ${name}.corpus COMMAND ${name} ${FUZZ_CORPUS})
  endif()
  qtr_project_target(${name})
  target_link_libraries(${name} PRIVATE ${FUZZ_LIBRARIES})
endfunction()
