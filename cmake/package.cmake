# The system-wide layout and its Debian package (scripts/package builds it):
#   /usr/lib/keystead-vault/      the window's executable and help.html, which it opens from
#                                 beside itself, and the command-line program
#   /usr/bin/keystead-vault       links to the two
#   /usr/bin/keystead-vault-cli
#   /usr/share/...                the menu entry, icons, AppStream data, man pages, the
#                                 command-line program's bash completion, copyright
# Installed under /usr, the program cannot keep anyone's entries beside itself, so
# this layout only makes sense with the per-user data folder.
if(NOT KV_PER_USER_DATA)
    message(FATAL_ERROR "KV_PACKAGE needs KV_PER_USER_DATA=ON: the databases cannot live in /usr/lib")
endif()

set(KV_PACKAGE_MAINTAINER "Orvendale <keystead-vault@orvendale.example>"
    CACHE STRING "The package's Maintainer field and the changelog's signature")
# AppStream wants a web address for the screenshot; this is where docs/screenshot.png
# is to be published.
set(KV_SCREENSHOT_URL "https://keystead-vault.orvendale.example/screenshot.png"
    CACHE STRING "Web address of the main window's screenshot, for the AppStream data")

set(kv_pkg_src ${CMAKE_CURRENT_LIST_DIR}/../packaging)
set(kv_pkg_out ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(kv_program_dir lib/keystead-vault)
file(MAKE_DIRECTORY ${kv_pkg_out}/man ${kv_pkg_out}/doc)

# The dates in the changelog, man page and AppStream release come from
# SOURCE_DATE_EPOCH when it is set, so a rebuild of the same commit gives the same package.
string(TIMESTAMP KV_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KV_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# ---- the program ----
install(TARGETS keystead-vault RUNTIME DESTINATION ${kv_program_dir})
install(FILES ${CMAKE_SOURCE_DIR}/resources/help.html DESTINATION ${kv_program_dir})
# Stripped as Debian strips its own programs: no symbols, and neither the compilers'
# version strings (.comment) nor .note.
function(kv_install_stripped name)
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${kv_program_dir}/${name}\" COMMAND_ERROR_IS_FATAL ANY)")
endfunction()
# Relative, so the link holds wherever the tree is unpacked.
function(kv_install_bin_link name)
    file(CREATE_LINK ../${kv_program_dir}/${name} ${kv_pkg_out}/${name} SYMBOLIC)
    install(FILES ${kv_pkg_out}/${name} DESTINATION bin)
endfunction()
kv_install_stripped(keystead-vault)
kv_install_bin_link(keystead-vault)

# The command-line program beside the window, with its man page and bash
# completion.
install(TARGETS keystead-vault-cli RUNTIME DESTINATION ${kv_program_dir})
kv_install_stripped(keystead-vault-cli)
kv_install_bin_link(keystead-vault-cli)
install(FILES ${kv_pkg_out}/man/keystead-vault-cli.1.gz DESTINATION share/man/man1)
install(FILES ${kv_pkg_src}/keystead-vault-cli.bash-completion
    DESTINATION share/bash-completion/completions RENAME keystead-vault-cli)

# ---- menu entry, AppStream data, icons ----
install(FILES ${kv_pkg_src}/keystead-vault.desktop DESTINATION share/applications)
configure_file(${kv_pkg_src}/com.orvendale.KeysteadVault.metainfo.xml.in
    ${kv_pkg_out}/com.orvendale.KeysteadVault.metainfo.xml @ONLY)
install(FILES ${kv_pkg_out}/com.orvendale.KeysteadVault.metainfo.xml DESTINATION share/metainfo)

find_program(KV_RSVG_CONVERT rsvg-convert REQUIRED)
set(kv_icon_svg ${kv_pkg_src}/icons/keystead-vault.svg)
install(FILES ${kv_icon_svg} DESTINATION share/icons/hicolor/scalable/apps)
set(kv_generated)
foreach(size 16 32 48 64 128 256)
    set(png ${kv_pkg_out}/icons/${size}x${size}/keystead-vault.png)
    file(MAKE_DIRECTORY ${kv_pkg_out}/icons/${size}x${size})
    add_custom_command(OUTPUT ${png}
        COMMAND ${KV_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${kv_icon_svg}
        DEPENDS ${kv_icon_svg} VERBATIM)
    list(APPEND kv_generated ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()

# ---- man page and the files Debian wants in /usr/share/doc ----
# gzip -n: no name or time stamp inside, so the archive depends on the text alone.
find_program(KV_GZIP gzip REQUIRED)
configure_file(${kv_pkg_src}/keystead-vault.1.in ${kv_pkg_out}/keystead-vault.1.txt @ONLY)
configure_file(${kv_pkg_src}/keystead-vault-cli.1.in ${kv_pkg_out}/keystead-vault-cli.1.txt @ONLY)
configure_file(${kv_pkg_src}/changelog.in ${kv_pkg_out}/changelog.txt @ONLY)
foreach(pair "keystead-vault.1.txt;man/keystead-vault.1" "keystead-vault-cli.1.txt;man/keystead-vault-cli.1"
        "changelog.txt;doc/changelog")
    list(GET pair 0 text)
    list(GET pair 1 name)
    add_custom_command(OUTPUT ${kv_pkg_out}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${kv_pkg_out}/${text} ${kv_pkg_out}/${name}
        COMMAND ${KV_GZIP} -9nf ${kv_pkg_out}/${name}
        DEPENDS ${kv_pkg_out}/${text} VERBATIM)
    list(APPEND kv_generated ${kv_pkg_out}/${name}.gz)
endforeach()
install(FILES ${kv_pkg_out}/man/keystead-vault.1.gz DESTINATION share/man/man1)
install(FILES ${kv_pkg_src}/copyright ${kv_pkg_out}/doc/changelog.gz DESTINATION share/doc/keystead-vault)
install(FILES ${kv_pkg_src}/lintian-overrides DESTINATION share/lintian/overrides RENAME keystead-vault)
add_custom_target(kv_package_files ALL DEPENDS ${kv_generated})

# ---- the Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keystead-vault)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvendale)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KV_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal list of service log-ins")
# CPack puts the summary on the first line itself; this is the long text after it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Keystead Vault Plus keeps, for each service, the user name, the password,
a comment, the address and the time the entry was recorded, in one small
window with a sortable list that never shows a password in clear. It has
three separate databases, copies an address, user name or password with a
key, suggests random passwords and can lock its window behind a log-in.
The command-line program keystead-vault-cli lists, adds, changes, exports
and imports the same entries from a terminal or a script.

The entries are scrambled with a fixed key, which hides them from a casual
look but is not encryption. Each user's entries live in
~/.local/share/keystead-vault (or under $XDG_DATA_HOME).")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Neither is a library the executable links, so dpkg-shlibdeps cannot find them:
# Qt's platform plugins draw the window, xdg-open shows the help and opens addresses.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# Directories of mode 0755 whatever the umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
