# Run by CPack once it has staged (and stripped) the release's files and before it packs them:
# signs the program and the co-installer when the environment names a certificate (see
# scripts/sign.sh). Signing after the strip is what keeps the signature valid.
execute_process(COMMAND bash ${CPACK_NV_SIGN_SCRIPT} --check RESULT_VARIABLE mode)
if(mode EQUAL 1)
    return()
elseif(NOT mode EQUAL 0)
    message(FATAL_ERROR "the signing certificate is set only in part (scripts/sign.sh --check)")
endif()
file(GLOB_RECURSE binaries "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe" "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.dll")
list(LENGTH binaries count)
if(NOT count EQUAL 2)
    message(FATAL_ERROR "expected the program and the co-installer in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}, found: ${binaries}")
endif()
execute_process(COMMAND bash ${CPACK_NV_SIGN_SCRIPT} ${binaries} RESULT_VARIABLE signed)
if(NOT signed EQUAL 0)
    message(FATAL_ERROR "signing ${binaries} failed")
endif()
