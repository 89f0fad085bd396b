# The release number lives in project(VERSION); the header repeats it for
# host programs, and the configuration stops when the two disagree.
set(header ${PROJECT_SOURCE_DIR}/include/veltrane.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
file(READ ${header} header_text)
set(header_version "")
foreach(part MAJOR MINOR PATCH)
    if(NOT header_text MATCHES "#define VELTRANE_VERSION_${part} ([0-9]+)\n")
        message(FATAL_ERROR "${header} does not define VELTRANE_VERSION_${part}")
    endif()
    list(APPEND header_version ${CMAKE_MATCH_1})
endforeach()
list(JOIN header_version "." header_version)
string(REGEX MATCH "#define VELTRANE_VERSION_STRING \"([^\"]*)\"" _ "${header_text}")
if(NOT header_version STREQUAL PROJECT_VERSION OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "include/veltrane.h says ${header_version} (\"${CMAKE_MATCH_1}\"), CMakeLists.txt says "
                        "${PROJECT_VERSION}: set VELTRANE_VERSION_MAJOR, _MINOR, _PATCH and _STRING to the "
                        "project's version")
endif()
unset(header)
unset(header_text)
unset(header_version)
