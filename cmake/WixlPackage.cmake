# CPack's External generator runs this with the staged files: builds
# tren-VERSION-win32.msi from packaging/windows/tren.wxs with wixl.
set(staged ${CPACK_TEMPORARY_DIRECTORY})
# One folder holds everything the source names, the staged files and the icon:
# wixl looks for them in its current folder.
file(COPY ${CPACK_TREN_WIXL_ICON} DESTINATION ${staged})
set(msi ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.msi)
execute_process(
    COMMAND ${CPACK_TREN_WIXL} --arch x86 -D Version=${CPACK_PACKAGE_VERSION} -o ${msi} ${CPACK_TREN_WIXL_SOURCE}
    WORKING_DIRECTORY ${staged}
    RESULT_VARIABLE status
    ERROR_VARIABLE errors)
# wixl writes GLib's warnings for what it ignores and still succeeds: a failure
# is its status or a missing package.
if(NOT status EQUAL 0 OR NOT EXISTS ${msi})
    message(FATAL_ERROR "wixl failed (${status}): ${errors}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
