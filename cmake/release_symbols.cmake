# OrvelLauncher.exe ships stripped; OrvelLauncher.debug beside it holds the
# debug information of that exact exe, for reading a crash report. Both carry
# the same build ID (a CodeView entry in the exe's debug directory), and both
# are reproducible. The exe gets no debug link: its long section name would
# need a COFF string table at the end of the file, which leaves it unaligned,
# and Authenticode signing pads such a file, so that removing a signature
# would no longer give the build back byte for byte.
# The link map (OrvelLauncher.map) records what the toolchain's libraries put
# into the exe, for the third-party notices.
if(MSVC)
    # Visual Studio: OrvelLauncher.pdb beside the exe in every configuration,
    # the Release one included. /PDBALTPATH writes only the PDB's file name
    # into the CodeView entry, so no build path reaches the exe; /Brepro makes
    # the entry's signature a hash of the contents. /DEBUG would otherwise
    # turn off the unreferenced-code removal and folding of a Release link.
    set_property(TARGET orvel_logic orvel_platform OrvelLauncher PROPERTY MSVC_DEBUG_INFORMATION_FORMAT ProgramDatabase)
    target_link_options(OrvelLauncher PRIVATE /DEBUG "/PDBALTPATH:%_PDB%" $<$<NOT:$<CONFIG:Debug>>:/OPT:REF /OPT:ICF>)
    return()
endif()
foreach(target orvel_logic orvel_platform OrvelLauncher)
    target_compile_options(${target} PRIVATE -g)
endforeach()
target_link_options(OrvelLauncher PRIVATE -Wl,--build-id -Wl,-Map=${PROJECT_BINARY_DIR}/OrvelLauncher.map)
# objcopy writes the PE time stamp anew, from SOURCE_DATE_EPOCH as the linker does.
set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ORVEL_SOURCE_DATE_EPOCH} ${CMAKE_OBJCOPY})
add_custom_command(TARGET OrvelLauncher POST_BUILD
    COMMAND ${objcopy} --only-keep-debug OrvelLauncher.exe OrvelLauncher.debug
    COMMAND ${objcopy} --strip-all OrvelLauncher.exe
    WORKING_DIRECTORY $<TARGET_FILE_DIR:OrvelLauncher>
    VERBATIM)
