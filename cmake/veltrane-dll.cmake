# What veltrane.dll takes from the build beyond its sources: the .def made
# from the header's prototypes, and the version resource.
include(${CMAKE_CURRENT_LIST_DIR}/veltrane-exports.cmake)

veltrane_read_exports(${PROJECT_SOURCE_DIR}/include/veltrane.h VELTRANE_EXPORTS VELTRANE_EXPORT_ARGUMENTS)
set(VELTRANE_DEF ${CMAKE_BINARY_DIR}/generated/veltrane.def)
# The COM server's entry points are exported too, but kept out of import
# libraries (PRIVATE): no host links against them.
set(VELTRANE_COM_EXPORTS DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer DllInstall)
veltrane_write_def(${VELTRANE_DEF} "${VELTRANE_EXPORTS}" "${VELTRANE_EXPORT_ARGUMENTS}" 0 FALSE
                   PRIVATE ${VELTRANE_COM_EXPORTS})
target_sources(veltrane PRIVATE ${VELTRANE_DEF})

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VELTRANE_ARCH x64)
else()
    set(VELTRANE_ARCH x86)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/veltrane.rc.in ${CMAKE_BINARY_DIR}/generated/veltrane.rc @ONLY)
target_sources(veltrane PRIVATE ${CMAKE_BINARY_DIR}/generated/veltrane.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/veltrane.rc PROPERTIES OBJECT_DEPENDS ${VELTRANE_TYPELIB})
# On Windows this is the image version of the PE header (0.0 otherwise).
set_target_properties(veltrane PROPERTIES VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND NOT MSVC)
    # lld 16's MinGW driver ignores --major-image-version, which that gives.
    target_link_options(veltrane PRIVATE -Wl,-Xlink=-version:${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
endif()

if(NOT MSVC AND VELTRANE_TESTS)
    list(JOIN VELTRANE_EXPORTS "," exports)
    list(JOIN VELTRANE_COM_EXPORTS "," com_exports)
    string(APPEND exports ",${com_exports}")
    add_test(NAME veltrane_dll_imports_and_exports
             COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:veltrane> -DOBJDUMP=${CMAKE_OBJDUMP} -DEXPORTS=${exports}
                     -DIMAGE_VERSION=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}
                     -P ${PROJECT_SOURCE_DIR}/cmake/check-dll.cmake)
endif()
