#!/usr/bin/env bash
# Installs the build into a scratch root and checks the desktop entry, the
# AppStream metadata and the service unit with their own validators, and the
# package description as apt will show it.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" >/dev/null
prefix=$(cmake -L -N "$build" | sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p')
share="$root$prefix/share"

for file in "$root$prefix/bin/dunvex" "$root$prefix/bin/dunvex-server" \
    "$share/icons/hicolor/scalable/apps/dunvex.svg" \
    "$share/icons/hicolor/48x48/apps/dunvex.png" "$share/icons/hicolor/256x256/apps/dunvex.png" \
    "$share/man/man6/dunvex.6" "$share/man/man6/dunvex-server.6"; do
    [[ -f "$file" ]] || { echo "missing: ${file#$root}"; exit 1; }
done
# Every page and the AppStream release carry the version of project().
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[[ -n "$version" ]] || { echo "no package version"; exit 1; }
for page in "$share"/man/man*/dunvex*; do
    grep -q "^\.TH .* \"Dunvex $version\" " "$page" || { echo "${page#$root}: not version $version"; exit 1; }
done
grep -q "<release version=\"$version\" date=\"[0-9-]*\"/>" "$share/metainfo/dunvex.metainfo.xml" ||
    { echo "AppStream release is not $version"; exit 1; }
if grep -rl '@[A-Z_]*@' "$share/man" "$share/metainfo"; then
    echo "unfilled placeholder"
    exit 1
fi
desktop-file-validate "$share/applications/dunvex.desktop"
appstreamcli validate --no-net --pedantic "$share/metainfo/dunvex.metainfo.xml"
unit=$(find "$root" -name dunvex-server.service)
grep -q "^ExecStart=$prefix/bin/dunvex-server " "$unit"
SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no --recursive-errors=no --root="$root" "$unit"
# The template, as the instance its example options file names: verify takes
# instances, not templates. Its descriptor limit holds 1000 full tables.
template=$(find "$root" -name 'dunvex-server@.service')
grep -qx "ExecStart=$prefix/bin/dunvex-server \$DUNVEX_SERVER_OPTS" "$template"
options=$(sed -n 's/^EnvironmentFile=//p' "$template")
[[ "$options" == */dunvex-server/%i.conf ]] || { echo "unexpected EnvironmentFile=$options"; exit 1; }
example="${options%/%i.conf}/example.conf"
[[ -f "$root$example" ]] || { echo "missing: $example"; exit 1; }
limit=$(sed -n 's/^LimitNOFILE=//p' "$template")
((limit >= 1000 * 11 + 16)) || { echo "LimitNOFILE=$limit is too low for 1000 tables"; exit 1; }
instance="$(dirname "$template")/dunvex-server@example.service"
ln -s "$(basename "$template")" "$instance"
SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no --recursive-errors=no --root="$root" "$instance"
# The package's long description: a list's ";" separators would start its lines in apt.
description=$(sed -n '/^set(CPACK_PACKAGE_DESCRIPTION "/,/")$/p' "$build/CPackConfig.cmake")
[[ -n "$description" ]] || { echo "no package description"; exit 1; }
if grep -q '^;' <<<"$description"; then
    echo "package description lines start with ';'"
    exit 1
fi
echo "install checks passed"
