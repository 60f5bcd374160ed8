# The release package, made by scripts/package: OrvelLauncher-<version>-win64.zip
# (the exe, the sample configuration and README.txt) and SHA256SUMS.
set(ORVEL_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package CACHE PATH "Where the release package is written")
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_custom_target(orvel_package
        COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/package/make_package.py
                --version ${PROJECT_VERSION}
                --epoch ${ORVEL_SOURCE_DATE_EPOCH}
                --source ${PROJECT_SOURCE_DIR}
                --output ${ORVEL_PACKAGE_DIR}
                $<TARGET_FILE:OrvelLauncher>
                ${PROJECT_SOURCE_DIR}/config/Orvel.config.sample.ini
                ${PROJECT_SOURCE_DIR}/package/README.txt.in
        DEPENDS OrvelLauncher
        VERBATIM)
endif()
