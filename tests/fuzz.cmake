# Fuzz targets: each tests/fuzz/<name>_fuzz.cpp feeds one input to a decoder
# or loader. With NIMBREL_FUZZ (clang) they are libFuzzer programs built with
# the address and undefined-behaviour sanitizers (scripts/run-fuzz runs them);
# in the ordinary build each is linked with a replay driver and every saved
# input in tests/fuzz/corpus/<name>/ is run as a regression test.
include_guard(GLOBAL)

set(nimbrel_fuzz_dir ${CMAKE_CURRENT_LIST_DIR}/fuzz)
# name=libraries (comma-separated)
set(nimbrel_fuzz_targets
  "decoding=nimbrel_station"
  "frames=nimbrel_station"
  "sim_config=stationsim,Qt6::Core"
  "history_store=nimbrel_store"
  "settings_store=nimbrel_store"
  "city_table=nimbrel_astro"
  "city_csv=nimbrel_astro"
  "http_request=nimbrel_http"
)

if(NIMBREL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "NIMBREL_FUZZ needs clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
  endif()
  # Everything is instrumented for coverage and checked by the sanitizers;
  # only the fuzz programs get the fuzzing engine's main.
  set(nimbrel_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${nimbrel_sanitizers} -fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=address,undefined)
endif()

# Called from the top-level file once the libraries exist.
function(nimbrel_add_fuzz_targets)
  foreach(entry ${nimbrel_fuzz_targets})
    string(REGEX REPLACE "[=,]" ";" parts "${entry}")
    list(POP_FRONT parts name)
    if(NIMBREL_FUZZ)
      set(program ${name}_fuzz)
      add_executable(${program} ${nimbrel_fuzz_dir}/${name}_fuzz.cpp)
      target_link_options(${program} PRIVATE -fsanitize=fuzzer)
    else()
      set(program ${name}_replay)
      add_executable(${program} ${nimbrel_fuzz_dir}/${name}_fuzz.cpp ${nimbrel_fuzz_dir}/ReplayMain.cpp)
      add_test(NAME fuzz_replay.${name} COMMAND ${program} ${nimbrel_fuzz_dir}/corpus/${name})
      set_tests_properties(fuzz_replay.${name} PROPERTIES TIMEOUT 120)
    endif()
    target_include_directories(${program} PRIVATE ${nimbrel_fuzz_dir})
    target_link_libraries(${program} PRIVATE ${parts})
    set_target_properties(${program} PROPERTIES AUTOMOC OFF)
    list(APPEND programs ${program})
  endforeach()
  add_custom_target(fuzz_targets DEPENDS ${programs})
endfunction()

if(NOT NIMBREL_FUZZ)
  nimbrel_add_fuzz_targets()
endif()
