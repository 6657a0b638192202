# Turns the four series tables of data/astro (CSV: a '#' comment line, a
# header line, one row per term) into SeriesTables.cpp, the constant arrays
# declared in SeriesTables.h. Run in script mode by the build:
#   cmake -D DATA_DIR=<data/astro> -D OUTPUT=<SeriesTables.cpp> -P GenerateSeriesTables.cmake
# Every row is checked (column count, plain decimal numbers, integer
# multipliers) and every table must have exactly the row count the header
# declares, so a damaged file stops the build instead of shifting a term.

cmake_minimum_required(VERSION 3.22)

if(NOT DATA_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "GenerateSeriesTables.cmake needs DATA_DIR and OUTPUT")
endif()

set(number_pattern "^-?[0-9]+(\\.[0-9]+)?$")
set(integer_pattern "^-?[0-9]+$")

# Reads one table. Sets <out_rows> to the C++ initialisers of its rows (one
# per line) and <out_source> to its comment line without the '#'.
#   multipliers   how many leading integer columns the rows have
#   groups        how the remaining numbers are grouped into braces, e.g.
#                 "3;3;3;3" for four polynomials of three coefficients,
#                 "1;1" for two plain numbers
function(read_table file header multipliers groups expected_rows out_rows out_source)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "series table ${file} is missing")
  endif()
  # Only lines that start like a number are rows; the comment and header
  # lines are read apart (a comment may hold ';', which CMake lists split).
  file(STRINGS "${file}" data_lines REGEX "^-?[0-9]")
  file(STRINGS "${file}" header_lines REGEX "^[A-Za-z]")
  list(LENGTH header_lines header_count)
  if(NOT header_count EQUAL 1)
    message(FATAL_ERROR "${file}: expected one header line, found ${header_count}")
  endif()
  list(GET header_lines 0 found_header)
  if(NOT found_header STREQUAL header)
    message(FATAL_ERROR "${file}: header is \"${found_header}\", expected \"${header}\"")
  endif()
  # The comment line names the table's source; it is copied into the
  # generated file. Read as text because file(STRINGS) would split it at ';'.
  file(READ "${file}" whole)
  string(REGEX MATCH "^#[^\n]*" source "${whole}")
  string(REGEX REPLACE "^# *" "" source "${source}")

  set(columns ${multipliers})
  foreach(g IN LISTS groups)
    math(EXPR columns "${columns} + ${g}")
  endforeach()

  set(rows "")
  set(count 0)
  foreach(line IN LISTS data_lines)
    math(EXPR count "${count} + 1")
    string(REPLACE "," ";" fields "${line}")
    list(LENGTH fields n)
    if(NOT n EQUAL columns)
      message(FATAL_ERROR "${file}: row ${count} has ${n} columns, expected ${columns}: ${line}")
    endif()
    set(index 0)
    set(initialiser "")
    while(index LESS multipliers)
      list(GET fields ${index} value)
      if(NOT value MATCHES "${integer_pattern}")
        message(FATAL_ERROR "${file}: row ${count}: multiplier \"${value}\" is not an integer")
      endif()
      string(APPEND initialiser "${value}, ")
      math(EXPR index "${index} + 1")
    endwhile()
    foreach(g IN LISTS groups)
      set(group "")
      set(k 0)
      while(k LESS g)
        list(GET fields ${index} value)
        if(NOT value MATCHES "${number_pattern}")
          message(FATAL_ERROR "${file}: row ${count}: \"${value}\" is not a decimal number")
        endif()
        if(group STREQUAL "")
          set(group "${value}")
        else()
          string(APPEND group ", ${value}")
        endif()
        math(EXPR index "${index} + 1")
        math(EXPR k "${k} + 1")
      endwhile()
      if(g EQUAL 1)
        string(APPEND initialiser "${group}, ")
      else()
        string(APPEND initialiser "{${group}}, ")
      endif()
    endforeach()
    string(REGEX REPLACE ", $" "" initialiser "${initialiser}")
    string(APPEND rows "    {${initialiser}},\n")
  endforeach()
  if(NOT count EQUAL expected_rows)
    message(FATAL_ERROR "${file}: ${count} rows, expected ${expected_rows}")
  endif()
  set(${out_rows} "${rows}" PARENT_SCOPE)
  set(${out_source} "${source}" PARENT_SCOPE)
endfunction()

read_table("${DATA_DIR}/sun_series.csv"
  "sun,venus,mars,jupiter,saturn,lon_sin_c0,lon_sin_c1,lon_sin_c2,lon_cos_c0,lon_cos_c1,lon_cos_c2,logr_sin_c0,logr_sin_c1,logr_sin_c2,logr_cos_c0,logr_cos_c1,logr_cos_c2"
  5 "3;3;3;3" 49 sun_rows sun_source)
read_table("${DATA_DIR}/sun_lunar_terms.csv"
  "l,lp,F,D,lon_sin,logr_cos"
  4 "1;1" 4 sun_lunar_rows sun_lunar_source)
read_table("${DATA_DIR}/moon_lon_parallax.csv"
  "l,lp,F,D,lon_sin_arcsec,parallax_cos_arcsec"
  4 "1;1" 60 moon_lon_rows moon_lon_source)
read_table("${DATA_DIR}/moon_latitude.csv"
  "l,lp,F,D,lat_sin_arcsec"
  4 "1" 45 moon_lat_rows moon_lat_source)

set(text "// Generated at build time by src/astro/GenerateSeriesTables.cmake from the
// tables in data/astro. Do not edit: change the CSV files instead.
#include \"SeriesTables.h\"

namespace nimbrel::astro {

// sun_series.csv: ${sun_source}
const std::array<SunSeriesTerm, kSunSeriesTerms> kSunSeries = {{
${sun_rows}}};

// sun_lunar_terms.csv: ${sun_lunar_source}
const std::array<SunLunarTerm, kSunLunarTerms> kSunLunarSeries = {{
${sun_lunar_rows}}};

// moon_lon_parallax.csv: ${moon_lon_source}
const std::array<MoonLongitudeParallaxTerm, kMoonLongitudeTerms> kMoonLongitudeParallaxSeries = {{
${moon_lon_rows}}};

// moon_latitude.csv: ${moon_lat_source}
const std::array<MoonLatitudeTerm, kMoonLatitudeTerms> kMoonLatitudeSeries = {{
${moon_lat_rows}}};

}  // namespace nimbrel::astro
")

file(WRITE "${OUTPUT}" "${text}")
