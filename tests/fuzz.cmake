# The libFuzzer targets (tests/fuzz), when clang and its fuzzing runtime are
# present: built in a tree of their own (build/fuzz), then each run on its
# seed corpus for a bounded number of inputs. README says how to run longer.
if(NOT STARVANE_SANITIZE)
  find_program(STARVANE_CLANG NAMES clang-14 clang)
  find_program(STARVANE_CLANGXX NAMES clang++-14 clang++)
  if(STARVANE_CLANG AND STARVANE_CLANGXX AND NOT STARVANE_CLANG_FUZZER)
    set(probe ${CMAKE_CURRENT_BINARY_DIR}/fuzz-probe)
    file(WRITE ${probe}.cpp "#include <cstddef>\n#include <cstdint>\n"
         "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
    execute_process(COMMAND ${STARVANE_CLANGXX} -fsanitize=fuzzer,address,undefined ${probe}.cpp -o ${probe}
                    RESULT_VARIABLE probe_status OUTPUT_QUIET ERROR_QUIET)
    if(probe_status EQUAL 0)  # kept once found; probed again until then
      set(STARVANE_CLANG_FUZZER ON CACHE INTERNAL "clang can build libFuzzer targets")
    endif()
  endif()
  if(STARVANE_CLANG_FUZZER)
    set(fuzz_targets replay_script_fuzz show_events_fuzz)
    set(fuzz_build_command ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${fuzz_targets})
    if(CMAKE_GENERATOR MATCHES "Makefiles")
      set(fuzz_build_command $(MAKE) ${fuzz_targets})  # shares the outer make's jobs
    endif()
    include(ExternalProject)
    ExternalProject_Add(starvane_fuzz
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz
      CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DSTARVANE_FUZZ=ON
                 -DCMAKE_C_COMPILER=${STARVANE_CLANG} -DCMAKE_CXX_COMPILER=${STARVANE_CLANGXX}
      BUILD_COMMAND ${fuzz_build_command}
      INSTALL_COMMAND ""
      BUILD_ALWAYS ON)
    # Runs per target: about 15 and 30 s of one core.
    set(fuzz_runs_replay_script_fuzz 3000)
    set(fuzz_runs_show_events_fuzz 2000)
    foreach(target ${fuzz_targets})
      string(REPLACE "_fuzz" "" corpus ${target})
      add_test(NAME fuzz.${target}
        COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/fuzz/run_fuzz.sh ${CMAKE_BINARY_DIR}/fuzz/tests/fuzz/${target}
                ${CMAKE_CURRENT_LIST_DIR}/fuzz/corpus/${corpus} ${CMAKE_CURRENT_BINARY_DIR}/fuzz-${corpus}
                -runs=${fuzz_runs_${target}} -max_total_time=90 -seed=1)
      set_tests_properties(fuzz.${target} PROPERTIES TIMEOUT 180)
    endforeach()
  else()
    starvane_missing_test(fuzz "clang with its fuzzing runtime (clang-14, libclang-rt-14-dev)")
  endif()
endif()
