#!/usr/bin/env bash
# Checks a built Debian package without installing it: unpacks it into a temporary
# folder, checks the installed layout, then starts the unpacked program on the
# offscreen platform with a throwaway home and makes it Add an entry, which must
# land in that home's data folder, and makes the command-line program add an entry
# and list it.
#   tests/package/check_package.sh build/package/keystead-vault_<version>_amd64.deb
# Needs dpkg-deb, g++, pkg-config, qt6-base-dev, qt6-qpa-plugins and bash-completion.
set -euo pipefail
[ $# -eq 1 ] && [ -f "$1" ] || { echo "usage: $0 PACKAGE.deb" >&2; exit 2; }
deb="$(realpath "$1")"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
dpkg-deb -x "$deb" "$root"

passed=0
failed=0
check() {
    local what="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $what" >&2
    fi
}

# ---- the control fields ----
field() { dpkg-deb -f "$deb" "$1"; }
project_version="$(sed -n 's/^project(KeysteadVault VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")"
check "version is the project's ($project_version)" test "$(field Version)" = "$project_version"
check "file name is package_version_architecture.deb" \
    test "$(basename "$deb")" = "$(field Package)_$(field Version)_$(field Architecture).deb"
depends="$(field Depends)"
check "Depends has the Qt libraries dpkg-shlibdeps found" grep -q 'libqt6widgets6' <<<"$depends"
check "Depends has the platform plugins" grep -q 'qt6-qpa-plugins' <<<"$depends"
check "Depends has libsodium, which sealed databases need" grep -q 'libsodium' <<<"$depends"

# ---- the layout ----
program_dir="$root/usr/lib/keystead-vault"
check "the executable is an ELF file in /usr/lib/keystead-vault" \
    bash -c '[ -x "$1" ] && [ "$(head -c 4 "$1" | od -An -c | tr -d " ")" = "177ELF" ]' _ "$program_dir/keystead-vault"
check "help.html is beside the executable" test -s "$program_dir/help.html"
check "/usr/bin/keystead-vault is a relative link to it" \
    bash -c '[ -L "$1" ] && [ "$(readlink "$1")" = ../lib/keystead-vault/keystead-vault ] && [ -x "$1" ]' _ "$root/usr/bin/keystead-vault"
check "nothing outside /usr/bin, /usr/lib/keystead-vault and /usr/share" \
    bash -c '! (cd "$1" && find . ! -type d) | grep -Ev "^\./usr/(bin/keystead-vault(-cli)?|lib/keystead-vault/[^/]+|share/.+)$"' _ "$root"
check "the command-line program is an ELF file beside the window" \
    bash -c '[ -x "$1" ] && [ "$(head -c 4 "$1" | od -An -c | tr -d " ")" = "177ELF" ]' _ "$program_dir/keystead-vault-cli"
check "/usr/bin/keystead-vault-cli is a relative link to it" \
    bash -c '[ -L "$1" ] && [ "$(readlink "$1")" = ../lib/keystead-vault/keystead-vault-cli ] && [ -x "$1" ]' _ "$root/usr/bin/keystead-vault-cli"

desktop="$root/usr/share/applications/keystead-vault.desktop"
desktop_key() { sed -n "s/^$1=//p" "$desktop"; }
check "the desktop file names the program and starts /usr/bin/keystead-vault" \
    bash -c '[ "$1" = "Keystead Vault Plus" ] && [ -x "$3/usr/bin/$2" ]' _ "$(desktop_key Name)" "$(desktop_key Exec)" "$root"
icon="$(desktop_key Icon || true)"
icons="$root/usr/share/icons/hicolor"
check "the desktop file's icon is there as SVG" grep -q '<svg' "$icons/scalable/apps/$icon.svg"
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }
for size in 16 32 48 64 128 256; do
    png="$icons/${size}x${size}/apps/$icon.png"
    check "the ${size}x${size} icon is a PNG of that size" test "$(png_size "$png" 2>/dev/null)" = "${size}x${size}"
done

metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
check "one AppStream file" test ${#metainfo[@]} -eq 1 -a -f "${metainfo[0]}"
launchable="$(sed -n 's/.*<launchable type="desktop-id">\(.*\)<\/launchable>.*/\1/p' "${metainfo[0]}" || true)"
check "the AppStream launchable is the shipped desktop file" test -f "$root/usr/share/applications/$launchable"
check "the AppStream release is the package version" \
    grep -q "<release version=\"$project_version\"" "${metainfo[0]}"

man="$root/usr/share/man/man1/keystead-vault.1.gz"
check "the man page is gzipped roff for section 1" bash -c 'gzip -t "$1" && zcat "$1" | grep -q "^\.TH KEYSTEAD-VAULT 1 "' _ "$man"
check "the command-line program's man page is gzipped roff for section 1" \
    bash -c 'gzip -t "$1" && zcat "$1" | grep -q "^\.TH KEYSTEAD-VAULT-CLI 1 "' _ "$root/usr/share/man/man1/keystead-vault-cli.1.gz"
completion="$root/usr/share/bash-completion/completions/keystead-vault-cli"
check "the bash completion is where bash-completion looks for it, and parses" bash -n "$completion"
check "copyright and changelog are in /usr/share/doc" \
    test -f "$root/usr/share/doc/keystead-vault/copyright" -a -f "$root/usr/share/doc/keystead-vault/changelog.gz"

# ---- the unpacked program, started and made to Add ----
g++ -std=c++20 -fPIC -shared -o "$work/add_entry_driver.so" "$here/add_entry_driver.cpp" \
    $(pkg-config --cflags --libs Qt6Widgets Qt6Test)
home="$work/home"
mkdir -m 0700 "$home" "$home/data" "$home/config" "$home/runtime"
before="$(ls "$program_dir" || true)"
status=0
env -i PATH=/usr/bin:/bin HOME="$home" \
    XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" \
    QT_QPA_PLATFORM=offscreen LD_PRELOAD="$work/add_entry_driver.so" \
    timeout 60 "$root/usr/bin/keystead-vault" || status=$?
check "the program started, found its controls and quit (exit $status)" test "$status" -eq 0
data_dir="$home/data/keystead-vault"
check "the Add landed in \$XDG_DATA_HOME/keystead-vault/db1.ksd" test -s "$data_dir/db1.ksd"
check "the data folder is open to its owner alone" test "$(stat -c %a "$data_dir" 2>/dev/null)" = 700
check "the data file is open to its owner alone" test "$(stat -c %a "$data_dir/db1.ksd" 2>/dev/null)" = 600
check "nothing was written beside the executable" test "$(ls "$program_dir")" = "$before"

# ---- the unpacked command-line program, through its link on the PATH ----
cli_data="$work/cli-data"
mkdir -m 0700 "$cli_data"
cli() {
    env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" LANG=C.UTF-8 \
        XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" \
        timeout 30 keystead-vault-cli --data-dir "$cli_data" "$@"
}
cli_version_is_the_package_version() { [[ "$(cli --version)" == *"$project_version"* ]]; }
cli_add_from_stdin() { cli add "Mail box" -u ann --address https://mail.example.org <<<"S3cret, né" >/dev/null; }
cli_lists_it_without_password() {
    local listed
    listed="$(cli ls --tsv)" && [ "$(cut -f1,2 <<<"$listed")" = "Mail box	ann" ] && ! grep -q S3cret <<<"$listed"
}
cli_data_file_written() { compgen -G "$cli_data/db[123].ksd" >/dev/null; }
cli_shows_the_password() { [ "$(cli show "Mail box" -a password)" = "S3cret, né" ]; }
completion_offers_the_service() {
    # bash-completion's own loader would find the file by the command's name; the
    # file is sourced directly here, beside the helpers it needs.
    PATH="$root/usr/bin:$PATH" HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" &&
            COMP_WORDS=(keystead-vault-cli --data-dir "$2" show Ma) COMP_CWORD=4 &&
            COMP_LINE="${COMP_WORDS[*]}" && COMP_POINT=${#COMP_LINE} &&
            _keystead_vault_cli keystead-vault-cli Ma show && [ "${COMPREPLY[*]}" = "Mail\ box" ]' \
        _ "$completion" "$cli_data"
}
check "keystead-vault-cli --version names the package version" cli_version_is_the_package_version
check "keystead-vault-cli add takes the password from standard input" cli_add_from_stdin
check "the entry landed in the data folder given" cli_data_file_written
check "ls --tsv lists it, with no password" cli_lists_it_without_password
check "show -a password gives the password back" cli_shows_the_password
check "the bash completion offers the service to show" completion_offers_the_service
check "nothing was written beside the executables" test "$(ls "$program_dir")" = "$before"

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
