# What Windows users download, made by the package target (cpack): the portable
# tren-VERSION-win32.zip and the per-user installer tren-VERSION-win32.msi, both
# holding the two programs, README.txt for Windows users and LICENSE.txt.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsResources.cmake)

# tren-cli.exe carries the version information too.
tren_windows_version(tren-cli)
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/main/windows/tren-cli.rc
    TARGET_DIRECTORY tren-cli PROPERTIES OBJECT_DEPENDS
    "${PROJECT_SOURCE_DIR}/src/main/windows/Version.rc;${TREN_GENERATED_RESOURCES}/tren.manifest")

# The programs are shipped stripped, from release/; their debug information stays
# there beside them, in NAME.exe.debug, which a debugger finds through the debug
# link. The tests run the programs as linked, in src/.
find_program(TREN_MINGW_OBJCOPY i686-w64-mingw32-objcopy REQUIRED)
find_program(TREN_MINGW_STRIP i686-w64-mingw32-strip REQUIRED)
set(TREN_RELEASE ${PROJECT_BINARY_DIR}/release)
set(released)
foreach(program tren tren-cli)
    set(exe ${TREN_RELEASE}/${program}.exe)
    add_custom_command(OUTPUT ${exe} ${exe}.debug
        COMMAND ${CMAKE_COMMAND} -E make_directory ${TREN_RELEASE}
        COMMAND ${TREN_MINGW_OBJCOPY} --only-keep-debug $<TARGET_FILE:${program}> ${exe}.debug
        COMMAND ${TREN_MINGW_STRIP} --strip-all -o ${exe} $<TARGET_FILE:${program}>
        # The link names the file alone: it is looked for beside the exe.
        COMMAND ${TREN_MINGW_OBJCOPY} --add-gnu-debuglink=${program}.exe.debug ${program}.exe
        WORKING_DIRECTORY ${TREN_RELEASE}
        DEPENDS ${program}
        VERBATIM)
    list(APPEND released ${exe})
endforeach()
add_custom_target(tren_release ALL DEPENDS ${released})

# Notepad before Windows 10 shows LF-only text as one line.
set(TREN_WINDOWS_TEXT ${PROJECT_BINARY_DIR}/windows-text)
foreach(text packaging/windows/README.txt LICENSE)
    file(READ ${PROJECT_SOURCE_DIR}/${text} contents)
    string(CONFIGURE "${contents}" contents @ONLY)
    string(REPLACE "\r\n" "\n" contents "${contents}")
    string(REPLACE "\n" "\r\n" contents "${contents}")
    cmake_path(GET text STEM name)
    file(WRITE ${TREN_WINDOWS_TEXT}/${name}.txt "${contents}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${text})
endforeach()

install(PROGRAMS ${released} DESTINATION .)
install(FILES ${TREN_WINDOWS_TEXT}/README.txt ${TREN_WINDOWS_TEXT}/LICENSE.txt DESTINATION .)

# CPack has no generator for wixl: its External generator stages the files and
# hands them to cmake/WixlPackage.cmake.
find_program(TREN_WIXL wixl)
set(CPACK_PACKAGE_NAME tren)
set(CPACK_PACKAGE_VENDOR "The tren authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tren-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_GENERATOR ZIP)
if(TREN_WIXL)
    list(APPEND CPACK_GENERATOR External)
else()
    message(WARNING "wixl is missing (scripts/setup-windows.sh installs it): no installer is built")
endif()
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/WixlPackage.cmake)
set(TREN_WIXL_SOURCE ${PROJECT_SOURCE_DIR}/packaging/windows/tren.wxs)
set(TREN_WIXL_ICON ${PROJECT_SOURCE_DIR}/art/tren.ico)
# What the installer script needs from here, through CPack's configuration file.
set(CPACK_TREN_WIXL ${TREN_WIXL})
set(CPACK_TREN_WIXL_SOURCE ${TREN_WIXL_SOURCE})
set(CPACK_TREN_WIXL_ICON ${TREN_WIXL_ICON})
include(CPack)
