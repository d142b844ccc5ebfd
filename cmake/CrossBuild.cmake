# What a build for another system (the Windows build) takes from this machine: GoogleTest
# built from the sources Debian's googletest package installs, the header-only libraries
# (JSON, command lines) from /usr/include, and the emulator that runs the tests (Wine).
set(TAVLO_GTEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(TAVLO_HOST_INCLUDE /usr/include CACHE PATH "Where this machine keeps the header-only libraries")
set(TAVLO_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run CACHE FILEPATH
    "Runs a program of the build on this machine (its first argument is the Wine prefix)")

if(NOT EXISTS ${TAVLO_GTEST_SOURCES}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources not found in ${TAVLO_GTEST_SOURCES}: install the "
                        "Debian package googletest")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TAVLO_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Only the libraries' own folders: /usr/include itself would put this machine's C library
# before the target's.
set(tavlo_host_headers ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder nlohmann CLI)
    if(NOT EXISTS ${TAVLO_HOST_INCLUDE}/${folder})
        message(FATAL_ERROR "${TAVLO_HOST_INCLUDE}/${folder} not found: install the Debian "
                            "packages nlohmann-json3-dev and libcli11-dev")
    endif()
    file(MAKE_DIRECTORY ${tavlo_host_headers})
    file(CREATE_LINK ${TAVLO_HOST_INCLUDE}/${folder} ${tavlo_host_headers}/${folder} SYMBOLIC)
endforeach()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${tavlo_host_headers})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${tavlo_host_headers})

# Every test runs through the emulator with a Wine prefix of this build folder's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVLO_EMULATOR} ${CMAKE_BINARY_DIR}/wine-prefix)
