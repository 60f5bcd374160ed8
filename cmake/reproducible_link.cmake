# Two builds of the same sources give the same OrvelLauncher.exe, byte for
# byte, in any folder and at any time. The one time a build writes into it,
# the PE header's time stamp, is the first of:
#   1. SOURCE_DATE_EPOCH, when it is set at configure time;
#   2. the commit time that `git archive` writes into archived_commit.txt,
#      so that a release tarball, unpacked anywhere or kept in a studio's own
#      repository, builds the release's exe;
#   3. the time of the last commit that touched the launcher's own folder: the
#      commit of a clone or a submodule, and, for a copy kept in a studio's
#      repository, a time that the studio's unrelated commits do not move.
# The package's entries carry the same time.
set(ORVEL_SOURCE_DATE_EPOCH "")
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/archived_commit.txt ORVEL_ARCHIVED_EPOCH LIMIT_COUNT 1)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ORVEL_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
elseif(ORVEL_ARCHIVED_EPOCH MATCHES "^[0-9]+$")
    set(ORVEL_SOURCE_DATE_EPOCH ${ORVEL_ARCHIVED_EPOCH})
else()
    find_package(Git QUIET)
    if(Git_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct -- .
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        RESULT_VARIABLE git_failed
                        OUTPUT_VARIABLE ORVEL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_VARIABLE git_error ERROR_STRIP_TRAILING_WHITESPACE)
        if(git_failed)
            message(WARNING "git cannot give the commit time of ${PROJECT_SOURCE_DIR}: ${git_error}")
        endif()
        # A new commit or checkout of the launcher's own work tree configures
        # again, so that its time reaches the link. A copy inside a studio's
        # repository watches nothing: the studio's commits must not make its
        # whole build configure again.
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel --absolute-git-dir
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE git_dirs OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        string(REPLACE "\n" ";" git_dirs "${git_dirs}")
        list(LENGTH git_dirs git_dir_count)
        if(git_dir_count EQUAL 2)
            list(GET git_dirs 0 work_tree)
            list(GET git_dirs 1 git_dir)
            file(REAL_PATH ${PROJECT_SOURCE_DIR} source_dir)
            file(REAL_PATH ${work_tree} work_tree)
            if(work_tree STREQUAL source_dir AND EXISTS "${git_dir}/logs/HEAD")
                set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/logs/HEAD")
            endif()
        endif()
    endif()
endif()
if(NOT ORVEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    if(ORVEL_REQUIRE_SOURCE_DATE)
        message(FATAL_ERROR "The sources' commit time is unknown, so the exe would not be reproducible: "
                            "set SOURCE_DATE_EPOCH (seconds since 1970) for the release build")
    endif()
    message(WARNING "No SOURCE_DATE_EPOCH and no commit time: OrvelLauncher.exe is stamped with time 0")
    set(ORVEL_SOURCE_DATE_EPOCH 0)
endif()

if(NOT MSVC)
    # GNU ld takes the PE time stamp from SOURCE_DATE_EPOCH in its environment.
    set_property(TARGET OrvelLauncher PROPERTY CXX_LINKER_LAUNCHER
                 ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ORVEL_SOURCE_DATE_EPOCH})
endif()
