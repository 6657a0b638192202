# The launcher and the software centre's description pass their validators,
# when these are installed (scripts/install-deps installs them).
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(DESKTOP_FILE_VALIDATE)
  add_test(NAME packaging_desktop_entry
           COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/packaging/org.nimbrel.Nimbrel.desktop)
endif()
if(APPSTREAMCLI)
  add_test(NAME packaging_metainfo
           COMMAND ${APPSTREAMCLI} validate --no-net ${PROJECT_SOURCE_DIR}/packaging/org.nimbrel.Nimbrel.metainfo.xml)
endif()
