include_guard(GLOBAL)

# The manifest carries the project's version: made from its template once, here,
# and found by every .rc that names it (the programs' and the tests'). Included
# from the top-level CMakeLists.txt so that the folder reaches every target.
set(TREN_GENERATED_RESOURCES ${PROJECT_BINARY_DIR}/resources)
set(_patch ${PROJECT_VERSION_PATCH})
if(_patch STREQUAL "")
    set(_patch 0)
endif()
set(TREN_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${_patch}.0)
configure_file(${PROJECT_SOURCE_DIR}/src/main/windows/tren.manifest.in
               ${TREN_GENERATED_RESOURCES}/tren.manifest @ONLY)
include_directories($<$<COMPILE_LANGUAGE:RC>:${TREN_GENERATED_RESOURCES}>)

# Gives a Windows program the version information of src/main/windows/Version.rc,
# which its own .rc includes.
function(tren_windows_version target)
    cmake_path(GET CMAKE_CURRENT_FUNCTION_LIST_DIR PARENT_PATH root)
    set(patch ${PROJECT_VERSION_PATCH})
    if(patch STREQUAL "")
        set(patch 0)
    endif()
    target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${root}/src/main/windows>)
    target_compile_definitions(${target} PRIVATE TREN_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
                               TREN_VERSION_MINOR=${PROJECT_VERSION_MINOR} TREN_VERSION_PATCH=${patch})
endfunction()

# Gives a Windows program tren's resources (src/main/windows/tren.rc): the
# window's icons and the link's hand cursor (src/win32/ArtworkResources.rc), the
# manifest and the version information.
function(tren_windows_resources target)
    cmake_path(GET CMAKE_CURRENT_FUNCTION_LIST_DIR PARENT_PATH root)
    set(rc ${root}/src/main/windows/tren.rc)
    target_sources(${target} PRIVATE ${rc})
    # The resource ids for code and windres; the pictures and the manifest only
    # for windres, which finds files named in a .rc on the include path alone.
    target_include_directories(${target} PRIVATE ${root}/src $<$<COMPILE_LANGUAGE:RC>:${root}/art>)
    tren_windows_version(${target})
    # windres writes no dependency file: name what tren.rc takes in.
    set(inputs art/tren.ico art/tren-picture.ico art/build.ico art/hand.cur
               src/win32/ArtworkResources.h src/win32/ArtworkResources.rc
               src/main/windows/Version.rc)
    list(TRANSFORM inputs PREPEND ${root}/)
    list(APPEND inputs ${TREN_GENERATED_RESOURCES}/tren.manifest)
    set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS "${inputs}")
endfunction()
