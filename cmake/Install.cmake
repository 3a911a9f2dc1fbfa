# What `cmake --install` puts under the prefix, and the Debian package CPack
# makes of it. Included after src/, where the targets tren and tren-cli are.
include(GNUInstallDirs)

set(TREN_APP_ID org.example.tren)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(art ${PROJECT_SOURCE_DIR}/art)
set(generated ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${generated})

install(TARGETS tren-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging}/tren-cli.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tren-cli)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages and the package's changelog are installed compressed, as Debian
# wants them; man reads them either way.
set(manuals)
function(tren_compress source output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9n -c ${source} > ${output}
        DEPENDS ${source} VERBATIM)
endfunction()

# tren-cli's manual page is its own help, so that the two never disagree.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    add_custom_command(OUTPUT ${generated}/tren-cli.1
        COMMAND ${HELP2MAN} --no-info --section=1 --include=${packaging}/tren-cli.h2m
            "--help-option=help --all"
            "--name=cut a file into pieces that fit on removable media, and build it again"
            --output=${generated}/tren-cli.1 $<TARGET_FILE:tren-cli>
        DEPENDS tren-cli ${packaging}/tren-cli.h2m VERBATIM)
    tren_compress(${generated}/tren-cli.1 ${generated}/tren-cli.1.gz)
    list(APPEND manuals ${generated}/tren-cli.1.gz)
else()
    message(STATUS "help2man not found: tren-cli(1) is not made or installed")
endif()
tren_compress(${packaging}/debian/changelog ${generated}/changelog.Debian.gz)

if(TARGET tren)
    install(TARGETS tren RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    tren_compress(${packaging}/tren.1 ${generated}/tren.1.gz)
    list(APPEND manuals ${generated}/tren.1.gz)
    install(FILES ${packaging}/${TREN_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${packaging}/${TREN_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${packaging}/tren-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tren.xml)
    # The program's icon and the .tr0 document's, at the theme's sizes and scalable.
    foreach(pair program:apps:${TREN_APP_ID} document:mimetypes:application-x-tr-file)
        string(REPLACE ":" ";" pair ${pair})
        list(GET pair 0 picture)
        list(GET pair 1 context)
        list(GET pair 2 name)
        foreach(size 16 32 48 64 128 256)
            install(FILES ${art}/${picture}-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/${context}
                RENAME ${name}.png)
        endforeach()
        install(FILES ${art}/${picture}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/${context} RENAME ${name}.svg)
    endforeach()
    # Installed straight into a prefix (~/.local) there are no package triggers: the
    # MIME and desktop databases there learn the type now, so that the window finds
    # its entry installed and writes no second one at start.
    install(CODE "
        if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
            foreach(tool update-mime-database:mime update-desktop-database:applications)
                string(REPLACE \":\" \";\" tool \"\${tool}\")
                list(GET tool 0 program)
                list(GET tool 1 folder)
                find_program(found \${program})
                if(found)
                    execute_process(COMMAND \${found}
                        \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/\${folder}\")
                endif()
                unset(found CACHE)
            endforeach()
        endif()")
endif()

add_custom_target(tren_packaging_files ALL DEPENDS ${manuals} ${generated}/changelog.Debian.gz)
install(FILES ${manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Under /usr (the Debian package, or a system install like it) the licence is in
# Debian's copyright file, with the package's changelog and lintian's overrides;
# elsewhere (~/.local, /usr/local) the licence is LICENSE and nothing of Debian's
# goes. The sections only the toolchain reads go from the programs there, as
# Debian's own packaging does.
set(debian_files
    "${packaging}/debian/copyright|${CMAKE_INSTALL_DOCDIR}|copyright"
    "${generated}/changelog.Debian.gz|${CMAKE_INSTALL_DOCDIR}|changelog.Debian.gz"
    "${packaging}/debian/lintian-overrides|${CMAKE_INSTALL_DATADIR}/lintian/overrides|tren")
set(programs tren-cli)
if(TARGET tren)
    list(APPEND programs tren)
endif()
install(CODE "
    set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        foreach(entry ${debian_files})
            string(REPLACE \"|\" \";\" entry \"\${entry}\")
            list(GET entry 0 from)
            list(GET entry 1 folder)
            list(GET entry 2 name)
            file(MAKE_DIRECTORY \"\${root}/\${folder}\")
            configure_file(\"\${from}\" \"\${root}/\${folder}/\${name}\" COPYONLY)
            message(STATUS \"Installing: \${root}/\${folder}/\${name}\")
        endforeach()
        foreach(program ${programs})
            execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                \"\${root}/${CMAKE_INSTALL_BINDIR}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    else()
        file(INSTALL \"${PROJECT_SOURCE_DIR}/LICENSE\" DESTINATION \"\${root}/${CMAKE_INSTALL_DOCDIR}\")
    endif()")

# The Debian package: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tren)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The tren authors <tren@example.org>")
set(CPACK_PACKAGE_VENDOR "The tren authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file splitter for removable media")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Their triggers bring the system's MIME and desktop databases up to date on
# install and removal, so the package needs no scripts of its own.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "shared-mime-info, desktop-file-utils")
# Below the summary line, which CPack puts first.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "tren cuts one file into a numbered set of piece files of a size chosen from a
fixed list (5, 3, 1.44 or 1 million bytes, or 500 thousand bytes), so that it
fits on removable media, and builds the file again from such a set, byte for
byte.
.
The package holds the window, tren, which opens .tr0 header pieces from the
file manager, and the command-line front end, tren-cli, for scripts.")
include(CPack)
