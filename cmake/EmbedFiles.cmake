# Writes a C++ source that holds files' bytes, so that code without a toolkit can
# carry the artwork. Run as a script:
#   cmake -DOUTPUT=x.cpp -DNAMESPACE=ns -DFILES="name=path;name=path" -P EmbedFiles.cmake
# Each name becomes `std::string_view name()` in the namespace.
set(body "// Generated from the artwork; do not edit.\n#include <string_view>\n\nnamespace ${NAMESPACE} {\n")
foreach(entry IN LISTS FILES)
    string(REPLACE "=" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 path)
    file(READ "${path}" hex HEX)
    string(LENGTH "${hex}" length)
    math(EXPR size "${length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
    # Long string literals in pieces keep every compiler happy.
    string(REGEX REPLACE "((\\\\x[0-9a-f][0-9a-f]){64})" "\\1\"\n    \"" escaped "${escaped}")
    string(APPEND body "std::string_view ${name}() {\n    static const char bytes[] =\n    \"${escaped}\";\n    return {bytes, ${size}};\n}\n\n")
endforeach()
string(APPEND body "} // namespace ${NAMESPACE}\n")
file(WRITE "${OUTPUT}.new" "${body}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
