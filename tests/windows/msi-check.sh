#!/usr/bin/env bash
# msi-check.sh BUILD-DIR: the installer BUILD-DIR/dist/Orvane-*-win64.msi
# under Wine, as a user installs and removes it:
#   msiexec /i ... /qn puts Orvane.exe (the shipped, stripped one) and its
#   documents under Program Files\Orvane, a Start-menu shortcut and the
#   uninstall entry with name, version and publisher;
#   the installed program passes the Wine smoke test (wine-smoke.sh);
#   msiexec /x ... /qn leaves no file, shortcut or registry key behind.
# Wine runs in a lab (tools/orvane-lab), as everything of the Windows build
# does. Needs root and the .msi (wixl); exits 77 (skipped) otherwise.
set -euo pipefail

build=$(cd "${1:?usage: msi-check.sh BUILD-DIR}" && pwd)
# shellcheck source=tests/windows/wine-lab.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-lab.sh"
wine_lab_init msi-check "$build"
msi=$(ls "$build"/dist/Orvane-*-win64.msi 2>/dev/null | head -1)
[[ -n $msi ]] || { note "no .msi in $build/dist (wixl not installed); skipped"; exit 77; }
wine_lab_need_display "$build"
wine_lab_setup smoke/wine-prefix
wine_lab_up "orvm$$"
reg_query() { inlab wine reg query "$@" 2>/dev/null | tr -d '\r'; }

code=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" {print $2}')
version=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" {print $2}')
[[ -n $code ]] || fail "no ProductCode in $msi"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code"
dir=$prefix/drive_c/Program\ Files/Orvane
shortcuts() { find "$prefix/drive_c" -iname 'Orvane.lnk' 2>/dev/null; }

# 1. Install.
note "msiexec /i $(basename "$msi") /qn"
inlab wine msiexec /i "Z:${msi//\//\\}" /qn || fail "msiexec /i ended with status $?"
inlab wineserver -w
for f in Orvane.exe LICENSE.txt THIRD-PARTY-NOTICES.txt README.txt; do
  [[ -f $dir/$f ]] || fail "Program Files\\Orvane\\$f not installed"
done
cmp -s "$dir/Orvane.exe" "$build/dist/Orvane.exe" || fail "the installed Orvane.exe is not the shipped one"
note "installed: $(cd "$dir" && ls | tr '\n' ' ')"
link=$(shortcuts)
[[ -n $link ]] || fail "no Start-menu shortcut"
note "shortcut: ${link#"$prefix/"}"
entry=$(reg_query "$uninstall_key") || fail "no uninstall entry $uninstall_key"
grep -E 'DisplayName|DisplayVersion|Publisher|DisplayIcon' <<<"$entry" | sed 's/^ */msi-check: uninstall entry: /'
grep -qE 'DisplayName\s+REG_SZ\s+Orvane$' <<<"$entry" || fail "uninstall entry: no DisplayName Orvane"
grep -qE "DisplayVersion\s+REG_SZ\s+$version" <<<"$entry" || fail "uninstall entry: no DisplayVersion $version"
grep -qE 'Publisher\s+REG_SZ\s+The Orvane developers$' <<<"$entry" || fail "uninstall entry: no Publisher"
# The shortcut's and the entry's icon: kept by Windows Installer for the product.
icon=$(find "$prefix/drive_c/windows/Installer" -ipath "*$code*" -iname 'orvane.ico' | head -1)
[[ -n $icon ]] || fail "the product's icon is not installed"
note "icon: ${icon#"$prefix/"}"

# 2. The installed program passes the smoke test (in a copy of this prefix).
ln -s "$dir/Orvane.exe" "$tmp/smoke/Orvane.exe"
ln -s "$build/dialog_driver.exe" "$tmp/smoke/dialog_driver.exe"
ln -s "$build/host" "$tmp/smoke/host"
touch "$prefix/.orvane-ready"
"$root/tests/windows/wine-smoke.sh" "$tmp/smoke" | sed 's/^/msi-check: /' || fail "the installed program failed the smoke test"

# 3. Uninstall: nothing left.
note "msiexec /x $code /qn"
inlab wine msiexec /x "$code" /qn || fail "msiexec /x ended with status $?"
inlab wineserver -w
left=$(find "$prefix/drive_c" -iname '*orvane*' -not -path '*/windows/Installer/*.msi' 2>/dev/null || true)
[[ -z $left ]] || fail "left after uninstall: $left"
! reg_query "$uninstall_key" >/dev/null || fail "the uninstall entry is still there"
! reg_query 'HKLM\Software\Orvane' >/dev/null || fail "HKLM\\Software\\Orvane is still there"
note "uninstalled: no file, shortcut, uninstall entry or registry key left"
note "passed"
