# Loaded after CMake's own rules for the MinGW-w64 toolchain
# (CMAKE_USER_MAKE_RULES_OVERRIDE, cmake/mingw-common.cmake): every link of
# a program or DLL ends by removing the DWARF sections that GCC's runtime
# libraries bring into the image. lld 16 keeps them even when it writes a
# PDB, which holds the debug information of this project's own code; so
# what the tests run is what ships.
foreach(lang C CXX)
    foreach(rule LINK_EXECUTABLE CREATE_SHARED_LIBRARY CREATE_SHARED_MODULE)
        list(APPEND CMAKE_${lang}_${rule} "${VELTRANE_LLVM_BIN}/llvm-objcopy --strip-debug <TARGET>")
    endforeach()
endforeach()
