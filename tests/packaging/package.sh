#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build tree and checks it as a distribution would: lintian
# with no error or warning, then the package's own files, unpacked (not installed) into a scratch
# folder: the programs and their modules where the package puts them, the manual pages, the bash
# completion, the desktop entries and AppStream data, the licences of the vendored code. Then the
# source archive's list of files (building from it takes too long for the suite).
# Usage: package.sh <build dir> <source dir> <scratch dir> <metainfo with screenshots>
set -u
shopt -s nullglob
build=$1 source=$2 scratch=$3 metainfo_with_screenshots=$4

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

rm -rf "$scratch" && mkdir -p "$scratch"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    exit 1
fi
deb=("$scratch"/*.deb)
lintian --fail-on error,warning "${deb[0]}" || fail "lintian finds errors or warnings (above)"
root=$(realpath "$scratch")/root
dpkg-deb -x "${deb[0]}" "$root"

# The command-line program runs from the package's layout.
shown=$("$root/usr/bin/gpibconfig-cli" --driver sim show 7352A 15 2>&1) ||
    fail "gpibconfig-cli --driver sim show 7352A 15: exit $?: $shown"
[[ $shown == *"15  *SRE "* ]] || fail "gpibconfig-cli show lacks the 7352A's last function: $shown"

# Each module in the private folder is opened from there, found relative to the program (the
# build tree is a fallback the programs also know, so the loader's own record is asked).
# A row: the module's file | the command-line arguments that make the program open it.
modules=(
    "libgpibconfig-prologix.so|--driver list"
    "libgpibconfig-vxi11.so|--driver vxi11:127.0.0.1:1 show 7352A 15"
)
for row in "${modules[@]}"; do
    module=$root/usr/lib/gpibconfig/${row%%|*}
    read -r -a arguments <<<"${row#*|}"
    LD_DEBUG=files "$root/usr/bin/gpibconfig-cli" "${arguments[@]}" >"$scratch/module.log" 2>&1
    grep -qF "file=$module [0];  generating link map" "$scratch/module.log" ||
        fail "gpibconfig-cli ${arguments[*]} does not open $module"
done
for module in "$root"/usr/lib/gpibconfig/*; do
    [[ " ${modules[*]} " == *" ${module##*/}|"* ]] ||
        fail "${module##*/}: no row of this test's table says how a program opens it"
done

# The manual pages read cleanly.
for page in "$root"/usr/share/man/man1/*; do
    complaints=$(man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $complaints ]] || fail "man -l ${page##*/}: $complaints"
    man -l "$page" 2>/dev/null | grep -q "^NAME" || fail "man -l ${page##*/} shows no NAME section"
done

# The bash completion, with the program and the completion file of the package.
bash "$source/tests/cli/completion.sh" "$root/usr/share/bash-completion/completions/gpibconfig-cli" \
    "$root/usr/bin" || fail "the packaged bash completion"

# Desktop entries; the AppStream data with the desktop entries it launches, and with screenshots.
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
appstreamcli validate --no-net "$metainfo_with_screenshots" || fail "AppStream data with screenshots"

# The copyright file names every vendored component of the source archive.
for component in "$source"/third_party/*/; do
    component=${component%/}
    grep -q "^Files: third_party/${component##*/}/" "$root/usr/share/doc/gpibconfig/copyright" ||
        fail "the copyright file has no paragraph for third_party/${component##*/}"
done

# The changelog is the package's version.
version=$(dpkg-deb -f "${deb[0]}" Version)
logged=$(zcat "$root/usr/share/doc/gpibconfig/changelog.Debian.gz" | dpkg-parsechangelog -l- -SVersion)
[[ $logged == "$version" ]] || fail "changelog.Debian.gz is of version $logged, the package $version"

# The source archive holds every file git holds and nothing git ignores (build trees, caches).
if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    cpack --config "$build/CPackSourceConfig.cmake" -B "$scratch/source" >"$scratch/source.log" 2>&1 ||
        fail "the source archive: $(cat "$scratch/source.log")"
    tar tzf "$scratch"/source/*.tar.gz | sed 's|^[^/]*/||; /\/$/d' | sort >"$scratch/archived"
    missing=$(git -C "$source" ls-files | sort | comm -23 - "$scratch/archived")
    [[ -z $missing ]] || fail "the source archive lacks $missing"
    ignored=$(git -C "$source" check-ignore --stdin <"$scratch/archived")
    [[ -z $ignored ]] || fail "the source archive holds what git ignores: $ignored"
fi

exit $((failures > 0))
