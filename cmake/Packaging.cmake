# What a release holds, for `cmake --install` and CPack's ZIP (scripts/package.sh): the two
# deliverables and a note naming them with the version. Tools, tests and the simulator are for
# development here and stay out. The installer package (scripts/make-msi.sh) is made from the
# zip's program.
if(NOT NV_WINDOWS)
    return()
endif()

# RUNTIME only: the DLL's import library is of no use to the device installer.
install(TARGETS NorvikFingerprint NVDCoInstaller RUNTIME DESTINATION .)
configure_file(${CMAKE_CURRENT_LIST_DIR}/PackageReadme.txt.in ${CMAKE_BINARY_DIR}/package/README.txt @ONLY
               NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME NorvikFingerprint)
set(CPACK_PACKAGE_VENDOR ${NV_COMPANY_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME NorvikFingerprint-${PROJECT_VERSION}-win64)
# The symbols serve only a debugger on this machine; a user's copy is smaller without them.
set(CPACK_STRIP_FILES TRUE)
# Signs the staged (stripped) binaries before they are packed, when a certificate is set.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/SignStaged.cmake)
set(CPACK_NV_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/sign.sh)
include(CPack)
