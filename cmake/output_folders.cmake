# Every output of the launcher's build (programs, DLLs, archives, import
# libraries, PDBs) stays in its own build folder, also when a studio's build
# takes it in with add_subdirectory and sets output folders of its own, for
# all configurations or for one. Programs and DLLs go to bin/, archives to
# lib/, each with a folder per configuration under multi-configuration
# generators, as CMake would lay them out.
get_property(ORVEL_MULTI_CONFIG GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)

# Points the output folders of the targets made from here on, in the caller's
# scope, at those folders, or at the optional `subfolder` below them.
function(orvel_output_folders)
    set(subfolder ${ARGV0})
    foreach(kind RUNTIME PDB LIBRARY ARCHIVE COMPILE_PDB)
        set(folder bin)
        if(kind MATCHES "LIBRARY|ARCHIVE|COMPILE_PDB")
            set(folder lib)
        endif()
        set(CMAKE_${kind}_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${folder}/${subfolder} PARENT_SCOPE)
        foreach(config ${CMAKE_CONFIGURATION_TYPES} ${CMAKE_BUILD_TYPE} Debug Release RelWithDebInfo MinSizeRel)
            string(TOUPPER ${config} upper)
            set(path ${PROJECT_BINARY_DIR}/${folder})
            if(ORVEL_MULTI_CONFIG)
                string(APPEND path /${config})
            endif()
            set(CMAKE_${kind}_OUTPUT_DIRECTORY_${upper} ${path}/${subfolder} PARENT_SCOPE)
        endforeach()
    endforeach()
endfunction()

orvel_output_folders()
