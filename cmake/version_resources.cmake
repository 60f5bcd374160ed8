# The version block and the manifest carry the project's version through
# files generated into the build folder; the sources hold no copy of it.
if(PROJECT_VERSION_TWEAK STREQUAL "")
    set(PROJECT_VERSION_TWEAK 0)
endif()
set(ORVEL_VERSION_QUAD
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK})
string(REPLACE "." ", " ORVEL_VERSION_COMMAS ${ORVEL_VERSION_QUAD})

set(ORVEL_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/launcher/version.h.in ${ORVEL_GENERATED_DIR}/version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/launcher/OrvelLauncher.manifest.in
               ${ORVEL_GENERATED_DIR}/OrvelLauncher.manifest @ONLY)
target_include_directories(OrvelLauncher PRIVATE ${ORVEL_GENERATED_DIR})
# The crash lines name the version too.
target_include_directories(orvel_platform PRIVATE ${ORVEL_GENERATED_DIR})
# The resource compiler's dependency scan does not see the files that the
# resource script embeds.
set_source_files_properties(launcher/OrvelLauncher.rc PROPERTIES OBJECT_DEPENDS
    "${ORVEL_GENERATED_DIR}/version.h;${ORVEL_GENERATED_DIR}/OrvelLauncher.manifest;${PROJECT_SOURCE_DIR}/launcher/OrvelLauncher.ico")
