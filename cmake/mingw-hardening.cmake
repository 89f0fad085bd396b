# Exploit mitigations of every Windows program and DLL this project builds
# with MinGW-w64, beyond the ASLR and DEP the linker sets by default:
# Control Flow Guard with clang and lld (16 or later), whose runtime support
# MinGW-w64 10 lacks and cmake/mingw-cfguard.c supplies; and on x86 the
# mark that the image registers no SEH handlers (C++ exceptions unwind with
# DWARF tables there). A SafeSEH table proper needs every object marked
# SafeSEH, and GCC's runtime libraries linked in are not (lld: "/safeseh:
# ... is not compatible with SEH").
if(NOT CMAKE_C_COMPILER_ID STREQUAL "Clang" OR CMAKE_C_COMPILER_VERSION VERSION_LESS 16)
    message(STATUS "No Control Flow Guard: it needs clang and lld 16 (cmake/mingw-common.cmake)")
    return()
endif()
add_compile_options(-mguard=cf)
add_link_options(-mguard=cf)
# Linked into everything made after this point, its load configuration
# always (x86 symbols carry a leading underscore).
add_library(veltrane_cfguard STATIC ${CMAKE_CURRENT_LIST_DIR}/mingw-cfguard.c)
link_libraries(veltrane_cfguard)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_link_options(-Wl,--no-seh -Wl,-u,__load_config_used)
else()
    add_link_options(-Wl,-u,_load_config_used)
endif()
