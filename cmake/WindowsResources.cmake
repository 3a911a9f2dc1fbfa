include_guard(GLOBAL)

# Gives a Windows program tren's resources (src/main/windows/tren.rc): the
# window's icons and the link's hand cursor (src/win32/ArtworkResources.rc), the
# manifest and the version information.
function(tren_windows_resources target)
    cmake_path(GET CMAKE_CURRENT_FUNCTION_LIST_DIR PARENT_PATH root)
    set(rc ${root}/src/main/windows/tren.rc)
    target_sources(${target} PRIVATE ${rc})
    # The resource ids for code and windres; the pictures and the manifest only
    # for windres, which finds files named in a .rc on the include path alone.
    target_include_directories(${target} PRIVATE ${root}/src
                               $<$<COMPILE_LANGUAGE:RC>:${root}/art ${root}/src/main/windows>)
    set(patch ${PROJECT_VERSION_PATCH})
    if(patch STREQUAL "")
        set(patch 0)
    endif()
    target_compile_definitions(${target} PRIVATE TREN_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
                               TREN_VERSION_MINOR=${PROJECT_VERSION_MINOR} TREN_VERSION_PATCH=${patch})
    # windres writes no dependency file: name what tren.rc takes in.
    set(inputs art/tren.ico art/tren-picture.ico art/build.ico art/hand.cur
               src/win32/ArtworkResources.h src/win32/ArtworkResources.rc
               src/main/windows/tren.manifest)
    list(TRANSFORM inputs PREPEND ${root}/)
    set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS "${inputs}")
endfunction()
