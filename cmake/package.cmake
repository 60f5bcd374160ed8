# The release package, made by scripts/package: OrvelLauncher-<version>-win64.zip
# with SHA256SUMS, OrvelLauncher-<version>-win64-symbols.zip and the bill of
# materials OrvelLauncher-<version>-win64.cdx.json (see package/make_package.py).
# With ORVEL_SIGN_COMMAND set in the environment of the build, the exe in the
# zip is signed by that command.
set(ORVEL_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package CACHE PATH "Where the release package is written")
find_package(Python3 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
    return()
endif()

# What built the exe, for README.txt: anyone who rebuilds needs the same tools.
function(orvel_first_line output)
    execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text ERROR_QUIET)
    string(REGEX REPLACE "\n.*" "" text "${text}")
    set(${output} "${text}" PARENT_SCOPE)
endfunction()
orvel_first_line(compiler ${CMAKE_CXX_COMPILER} --version)
orvel_first_line(linker ${CMAKE_LINKER} --version)
file(WRITE ${PROJECT_BINARY_DIR}/mingw_version.cpp "#include <_mingw.h>\nORVEL_RUNTIME __MINGW64_VERSION_STR\n")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -E -P ${PROJECT_BINARY_DIR}/mingw_version.cpp
                OUTPUT_VARIABLE runtime ERROR_QUIET)
string(REGEX MATCH "ORVEL_RUNTIME ([^\n]*)" runtime "${runtime}")
string(REGEX REPLACE "[\" ]" "" runtime "${CMAKE_MATCH_1}")
set(toolchain "compiler: ${compiler}\nlinker: ${linker}\nmingw-w64 runtime: ${runtime}\n")
# Debian's packages name the exact builds of these tools and of the runtime
# libraries that the link takes in; the bill of materials names them too.
find_program(ORVEL_DPKG_QUERY dpkg-query)
mark_as_advanced(ORVEL_DPKG_QUERY)
if(ORVEL_DPKG_QUERY)
    execute_process(COMMAND ${ORVEL_DPKG_QUERY} -W "-f=\${Package} \${Version} \${Architecture}\n"
                            g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                            mingw-w64-x86-64-dev
                    OUTPUT_VARIABLE packages ERROR_QUIET)
    string(REGEX REPLACE "([^\n]+)" "Debian package \\1" packages "${packages}")
    string(APPEND toolchain "${packages}")
endif()
set(ORVEL_TOOLCHAIN_FILE ${PROJECT_BINARY_DIR}/generated/toolchain.txt)
file(WRITE ${ORVEL_TOOLCHAIN_FILE} "${toolchain}")

add_custom_target(orvel_package
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/package/make_package.py
            --version ${PROJECT_VERSION}
            --epoch ${ORVEL_SOURCE_DATE_EPOCH}
            --source ${PROJECT_SOURCE_DIR}
            --output ${ORVEL_PACKAGE_DIR}
            --toolchain ${ORVEL_TOOLCHAIN_FILE}
            --map ${PROJECT_BINARY_DIR}/OrvelLauncher.map
            $<TARGET_FILE:OrvelLauncher>
    DEPENDS OrvelLauncher
    VERBATIM)
