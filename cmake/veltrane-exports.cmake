# The exports as include/veltrane.h declares them: the header is the one list
# of names, and the size of each export's arguments (for the decorated x86
# names) follows from its prototype.

# veltrane_read_exports(<header> <names-var> <argument-bytes-var>)
# Every argument is a BSTR or the callback, one pointer each; a prototype
# with anything else stops the configuration rather than guess its size.
function(veltrane_read_exports header names_var bytes_var)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
    file(READ ${header} text)
    string(REGEX MATCHALL "\nvoid __stdcall [A-Z_]+\\([^)]*\\)" prototypes "${text}")
    set(names "")
    set(bytes "")
    foreach(prototype IN LISTS prototypes)
        string(REGEX MATCH "__stdcall ([A-Z_]+)\\(([^)]*)\\)" _ "${prototype}")
        set(name ${CMAKE_MATCH_1})
        set(parameters "${CMAKE_MATCH_2}")
        set(count 0)
        if(NOT parameters STREQUAL "void")
            string(REPLACE "," ";" parameters "${parameters}")
            foreach(parameter IN LISTS parameters)
                if(NOT parameter MATCHES "^ *(BSTR|VELTRANE_CALLBACK) [A-Za-z]+$")
                    message(FATAL_ERROR "${header}: ${name} takes \"${parameter}\"; only BSTR and VELTRANE_CALLBACK have a known size")
                endif()
                math(EXPR count "${count} + 1")
            endforeach()
        endif()
        list(APPEND names ${name})
        list(APPEND bytes ${count})
    endforeach()
    list(LENGTH names found)
    if(found EQUAL 0)
        message(FATAL_ERROR "${header}: no exported prototypes found")
    endif()
    set(${names_var} ${names} PARENT_SCOPE)
    set(${bytes_var} ${bytes} PARENT_SCOPE)
endfunction()

# veltrane_write_def(<file> <names> <argument-counts> <pointer-size> <decorated> [PRIVATE <name>...])
# The undecorated form links the DLL and makes the x64 import libraries; the
# decorated form (DIAL@4) makes x86 import libraries whose stdcall symbols
# (_DIAL@4, __imp__DIAL@4) import the plain name. PRIVATE names are exported
# by the DLL but left out of import libraries.
function(veltrane_write_def file names counts pointer_size decorated)
    cmake_parse_arguments(PARSE_ARGV 5 def "" "" PRIVATE)
    set(text "LIBRARY veltrane.dll\nEXPORTS\n")
    foreach(name count IN ZIP_LISTS names counts)
        if(decorated)
            math(EXPR size "${count} * ${pointer_size}")
            string(APPEND text "    ${name}@${size}\n")
        else()
            string(APPEND text "    ${name}\n")
        endif()
    endforeach()
    foreach(name IN LISTS def_PRIVATE)
        string(APPEND text "    ${name} PRIVATE\n")
    endforeach()
    file(CONFIGURE OUTPUT ${file} CONTENT "${text}" @ONLY)
endfunction()
