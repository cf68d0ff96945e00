# SPDX-License-Identifier: MIT
# quarrin_install_program(TARGET [COMPONENT NAME])
# Installs a program into bin/. The build tree keeps its debug information (RelWithDebInfo); the
# installed program carries none unless QUARRIN_INSTALL_DEBUG_INFO is on: the "debug" component
# (`cmake --install build --component debug`) puts it into lib/debug/<program>.debug instead.
include(GNUInstallDirs)
option(QUARRIN_INSTALL_DEBUG_INFO "Keep debug information in the installed programs" OFF)

function(quarrin_install_program target)
    cmake_parse_arguments(ARG "" "COMPONENT" "" ${ARGN})
    set(component_args)
    if(ARG_COMPONENT)
        set(component_args COMPONENT ${ARG_COMPONENT} EXCLUDE_FROM_ALL)
    endif()
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ${component_args})
    if(QUARRIN_INSTALL_DEBUG_INFO OR NOT CMAKE_OBJCOPY)
        return()
    endif()
    set(installed "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${target}")
    install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --strip-debug \"${installed}\")" ${component_args})
    set(debug_dir "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/debug")
    install(CODE "file(MAKE_DIRECTORY \"${debug_dir}\")
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --only-keep-debug \"$<TARGET_FILE:${target}>\" \"${debug_dir}/${target}.debug\")"
        COMPONENT debug EXCLUDE_FROM_ALL)
endfunction()
