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

# The .deb itself: the copyright, changelog and user unit in place, and no
# lintian error (skipped without lintian).
add_test(NAME packaging_deb_lintian
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-package ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/package-check)
set_tests_properties(packaging_deb_lintian PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 RUN_SERIAL TRUE)

# The background recorder's user unit, as systemd reads it (skipped where
# systemd is missing). Checked with the built program in ExecStart, since
# systemd looks for a bare program name in its own search path.
find_program(SYSTEMD_ANALYZE systemd-analyze)
if(SYSTEMD_ANALYZE)
  add_test(NAME packaging_user_unit
           COMMAND sh -c "mkdir -p \"$1\" && sed \"s|^ExecStart=nimbrel |ExecStart=$2 |\" \"$3\" > \"$1/nimbrel.service\" && \"$4\" verify --man=no \"$1/nimbrel.service\""
                   sh ${CMAKE_BINARY_DIR}/unit-check $<TARGET_FILE:nimbrel> ${PROJECT_SOURCE_DIR}/packaging/nimbrel.service
                   ${SYSTEMD_ANALYZE})
endif()
