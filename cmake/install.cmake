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

# The command-line program may be defined after this file is read, and install()
# takes only targets that already exist: its rules are added once the whole of
# CMakeLists.txt has been read.
function(kv_install_cli)
    if(NOT TARGET keystead-vault-cli)
        return()
    endif()
    if(KV_PACKAGE)
        kv_package_cli()
    else()
        install(TARGETS keystead-vault-cli RUNTIME DESTINATION .)
    endif()
endfunction()
cmake_language(DEFER CALL kv_install_cli)
