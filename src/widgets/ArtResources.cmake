# Compiles the committed artwork (data/art, drawn by tools/artgen) into the
# target named by NIMBREL_ART_TARGET. The program reads the files as
# ":/art/<file name>", e.g. ":/art/startup.jpg" and ":/art/icon-256.png".
if(NOT NIMBREL_ART_TARGET)
  message(FATAL_ERROR "ArtResources.cmake: set NIMBREL_ART_TARGET to the target that embeds the artwork")
endif()

set(_nimbrel_art_dir ${PROJECT_SOURCE_DIR}/data/art)
set(_nimbrel_art_files
  ${_nimbrel_art_dir}/startup.jpg
  ${_nimbrel_art_dir}/icon-256.png
  ${_nimbrel_art_dir}/icon-48.png
  ${_nimbrel_art_dir}/icon-32.png
  ${_nimbrel_art_dir}/icon-16.png
)
qt_add_resources(${NIMBREL_ART_TARGET} nimbrel_art
  PREFIX "/art"
  BASE ${_nimbrel_art_dir}
  FILES ${_nimbrel_art_files}
)
unset(_nimbrel_art_dir)
unset(_nimbrel_art_files)
