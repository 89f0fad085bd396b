# Veltrane's CMake package, for Windows programs built with MSVC, clang-cl
# or MinGW-w64:
#
#   find_package(Veltrane 1.1 CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE Veltrane::veltrane)
#
# Veltrane::veltrane is veltrane.dll of the consumer's architecture (x64 or
# x86): the header's folder, the import library of the consumer's kind of
# toolchain, and the DLL itself, which $<TARGET_RUNTIME_DLLS:app> names.
get_filename_component(_veltrane_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_veltrane_arch x64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_veltrane_arch x86)
else()
    set(Veltrane_FOUND FALSE)
    set(Veltrane_NOT_FOUND_MESSAGE "Veltrane needs a C or C++ language enabled to tell x64 from x86")
    return()
endif()
if(MSVC OR CMAKE_C_SIMULATE_ID STREQUAL "MSVC" OR CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
    set(_veltrane_implib ${_veltrane_root}/lib/${_veltrane_arch}/veltrane.lib)
else()
    set(_veltrane_implib ${_veltrane_root}/lib/${_veltrane_arch}/libveltrane.dll.a)
endif()
set(_veltrane_dll ${_veltrane_root}/bin/${_veltrane_arch}/veltrane.dll)
foreach(_veltrane_file IN ITEMS ${_veltrane_dll} ${_veltrane_implib} ${_veltrane_root}/include/veltrane.h)
    if(NOT EXISTS ${_veltrane_file})
        set(Veltrane_FOUND FALSE)
        set(Veltrane_NOT_FOUND_MESSAGE "Veltrane's package lacks ${_veltrane_file}")
        return()
    endif()
endforeach()

if(NOT TARGET Veltrane::veltrane)
    add_library(Veltrane::veltrane SHARED IMPORTED)
    set_target_properties(Veltrane::veltrane PROPERTIES
        IMPORTED_LOCATION ${_veltrane_dll}
        IMPORTED_IMPLIB ${_veltrane_implib}
        INTERFACE_INCLUDE_DIRECTORIES ${_veltrane_root}/include
        # SysAllocString and the other BSTR functions the exports' arguments need.
        INTERFACE_LINK_LIBRARIES oleaut32)
endif()
unset(_veltrane_file)
unset(_veltrane_dll)
unset(_veltrane_implib)
unset(_veltrane_arch)
unset(_veltrane_root)
