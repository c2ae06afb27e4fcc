# Where `cmake --install` puts the program. The portable layout (scripts/run, the
# Windows zip): the window, the command-line program and help.html together in the
# install prefix, the databases beside them, where both programs find them.
# KV_PACKAGE switches to the system-wide layout of the Debian package
# (scripts/package), in package.cmake.
option(KV_PACKAGE "Install in the system-wide layout and set up the Debian package (needs KV_PER_USER_DATA)" OFF)
if(KV_PACKAGE)
    include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
else()
    install(TARGETS keystead-vault RUNTIME DESTINATION .)
    install(FILES resources/help.html DESTINATION .)
endif()

# The command-line program (defined before this file is read: it needs no Qt)
# goes beside the window; package.cmake puts it in the system-wide layout.
if(NOT KV_PACKAGE)
    install(TARGETS keystead-vault-cli RUNTIME DESTINATION .)
endif()
