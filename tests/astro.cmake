# Astronomy: day count, Sun and Moon, rise/set, the Earth and moon pictures,
# daylight-saving rules (against the machine's time-zone database) and the
# calendar labels.
add_executable(astro_test ${CMAKE_CURRENT_LIST_DIR}/astro_test.cpp)
target_link_libraries(astro_test PRIVATE nimbrel_astro GTest::gtest_main)
gtest_discover_tests(astro_test TEST_PREFIX "astro.")

# The Sun's and Moon's positions against libnova (VSOP87 and ELP 2000-82B),
# an independent ephemeris, where it is installed (Debian: libnova-dev). It
# ships no pkg-config file on Debian, so look for the header and library too.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(LIBNOVA QUIET IMPORTED_TARGET libnova)
endif()
if(TARGET PkgConfig::LIBNOVA)
  set(nimbrel_libnova PkgConfig::LIBNOVA)
else()
  find_path(LIBNOVA_INCLUDE_DIR libnova/libnova.h)
  find_library(LIBNOVA_LIBRARY nova)
  if(LIBNOVA_INCLUDE_DIR AND LIBNOVA_LIBRARY)
    add_library(nimbrel_libnova INTERFACE IMPORTED)
    target_include_directories(nimbrel_libnova INTERFACE ${LIBNOVA_INCLUDE_DIR})
    target_link_libraries(nimbrel_libnova INTERFACE ${LIBNOVA_LIBRARY})
    set(nimbrel_libnova nimbrel_libnova)
  endif()
endif()
if(nimbrel_libnova)
  add_executable(astro_ephemeris_test ${CMAKE_CURRENT_LIST_DIR}/astro_ephemeris_test.cpp)
  target_link_libraries(astro_ephemeris_test PRIVATE nimbrel_astro ${nimbrel_libnova} GTest::gtest_main)
  gtest_discover_tests(astro_ephemeris_test TEST_PREFIX "astro.")
else()
  message(STATUS "libnova not found: astro_ephemeris_test (Sun and Moon against an independent ephemeris) is not built")
endif()
