# GoogleTest, built for the target from sources (Debian's googletest package
# installs them in /usr/src/googletest), or an installed GTest package (vcpkg
# on Windows, say). Without either, the tests are left out of the build.
if(EXISTS ${ORVEL_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    # The tests link GoogleTest with the launcher's static C++ runtime; a DLL
    # runtime in either fails the link with LNK2038 under MSVC.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(CMAKE_POLICY_DEFAULT_CMP0091 NEW)
    add_subdirectory(${ORVEL_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
else()
    find_package(GTest CONFIG)
endif()

if(TARGET GTest::gtest_main)
    set(ORVEL_HAVE_GTEST ON)
else()
    message(WARNING "GoogleTest not found: set ORVEL_GOOGLETEST_SOURCE_DIR to its sources to build the tests")
    set(ORVEL_HAVE_GTEST OFF)
endif()
