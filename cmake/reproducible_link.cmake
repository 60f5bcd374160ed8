# Two builds of one commit give the same OrvelLauncher.exe, byte for byte, in
# any folder and at any time. The one time a build writes into it, the PE
# header's time stamp, is SOURCE_DATE_EPOCH when that is set at configure
# time, else the time of the commit being built. The package's entries carry
# the same time.
set(ORVEL_SOURCE_DATE_EPOCH "")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ORVEL_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    find_package(Git QUIET)
    if(Git_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE ORVEL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE ORVEL_GIT_DIR OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        # A new commit or checkout configures again, so its time reaches the link.
        if(EXISTS "${ORVEL_GIT_DIR}/logs/HEAD")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ORVEL_GIT_DIR}/logs/HEAD")
        endif()
    endif()
endif()
if(NOT ORVEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(STATUS "No SOURCE_DATE_EPOCH and no commit: OrvelLauncher.exe is stamped with time 0")
    set(ORVEL_SOURCE_DATE_EPOCH 0)
endif()

if(NOT MSVC)
    # GNU ld takes the PE time stamp from SOURCE_DATE_EPOCH in its environment.
    set_property(TARGET OrvelLauncher PROPERTY CXX_LINKER_LAUNCHER
                 ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ORVEL_SOURCE_DATE_EPOCH})
endif()
