#!/bin/sh
# Installs the build into a temporary prefix, as a person would, and checks
# that the files land where the desktop looks for them, that the desktop
# files are valid, and that quorvex-setup and quorvex-setup --uninstall add
# and take back their entries without touching anything of the user's.
#   install-test.sh CMAKE BUILD_DIR
set -eu

cmake=$1
build=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

must_exist() {
  [ -f "$1" ] || fail "$1 is missing"
}

must_be_executable() {
  [ -f "$1" ] && [ -x "$1" ] || fail "$1 is missing or not executable"
}

# What a folder holds: every path with the SHA-256 of each file, so two
# snapshots differ when anything was added, removed or changed. The
# registry's lock file is left out: it belongs to the settings store.
snapshot() {
  (cd "$1" && find . ! -name '*.lock' | LC_ALL=C sort | while IFS= read -r path; do
    if [ -f "$path" ]; then
      printf '%s %s\n' "$(sha256sum < "$path" | cut -d' ' -f1)" "$path"
    else
      printf 'folder %s\n' "$path"
    fi
  done)
}

# The settings entry's text from the user's hive file (REGEDIT4), unescaped.
stored_entry() {
  awk -v key="[HKEY_CURRENT_USER\\\\Software\\\\Orvandel Software\\\\Sildra\\\\$1]" '
    { sub(/\r$/, "") }
    /^\[/ { inside = ($0 == key); next }
    inside && /^"Value"="/ { value = substr($0, 10, length($0) - 10); found = 1 }
    END {
      if (!found) exit 1
      gsub(/\\\\/, "\001", value); gsub(/\\"/, "\"", value); gsub(/\001/, "\\", value)
      print value
    }' "$XDG_CONFIG_HOME/quorvex/HKEY_CURRENT_USER.reg"
}

# desktop-file-validate knows application entries; a KDE service menu is of
# type Service, whose keys MimeType and Actions (and the pseudo type
# all/allfiles) it refuses by design. Everything else must pass.
validate_service_menu() {
  report=$(desktop-file-validate "$1" 2>&1 || true)
  rest=$(printf '%s\n' "$report" | grep -v \
    -e 'key "MimeType" is present in group "Desktop Entry", but the type is "Service"' \
    -e 'key "Actions" is present in group "Desktop Entry", but the type is "Service"' \
    -e 'contains value "all/allfiles" which is an invalid MIME type' || true)
  [ -z "$rest" ] || fail "desktop-file-validate on $1: $rest"
}

validate_application() {
  desktop-file-validate "$1" || fail "desktop-file-validate rejects $1"
}

command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing (package desktop-file-utils)"

# A prefix with a space and an apostrophe, so every entry must quote it.
prefix="$work/Quorvex's prefix"
"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "cmake --install"; }

# ---------------------------------------------------------------- the install
share="$prefix/share"
for program in quorvex quorvex-cli quorvex-setup; do
  must_be_executable "$prefix/bin/$program"
done
for size in 32 48 64 128 256; do
  must_exist "$share/icons/hicolor/${size}x$size/apps/quorvex.png"
done
must_exist "$share/quorvex/help/Quorvex.html"
must_exist "$share/applications/quorvex.desktop"
must_exist "$share/nemo/actions/quorvex-encrypt-decrypt.nemo_action"
for menu in "$share/kio/servicemenus" "$share/kservices5/ServiceMenus"; do
  must_be_executable "$menu/quorvex-encrypt-decrypt.desktop"
  validate_service_menu "$menu/quorvex-encrypt-decrypt.desktop"
done
validate_application "$share/applications/quorvex.desktop"
grep -qx 'Exec=quorvex %f' "$share/applications/quorvex.desktop" || fail "the desktop entry does not open a file"

reg="$share/quorvex/quorvex-explorer-entry.reg"
must_exist "$reg"
windows_prefix=$(printf '%s' "$prefix" | sed 's|/|\\\\|g')
[ "$(head -c 10 "$reg")" = "$(printf 'REGEDIT4\r\n')" ] || fail "$reg is not REGEDIT4 text with CRLF"
grep -qF "[HKEY_CLASSES_ROOT\\*\\shell\\Quorvex\\command]" "$reg" || fail "$reg has no Explorer command"
grep -qF "@=\"\\\"$windows_prefix\\\\bin\\\\quorvex.exe\\\" \\\"%1\\\"\"" "$reg" ||
  fail "$reg does not start $windows_prefix\\bin\\quorvex.exe with the file: $(cat "$reg")"

# ------------------------------------- a user with own actions and settings
home="$work/home"
export HOME="$home"
export XDG_CONFIG_HOME="$home/.config"
export XDG_DATA_HOME="$home/.local/share"
export XDG_CONFIG_DIRS="$work/etc/xdg"
export XDG_DATA_DIRS="$work/usr/share"   # the prefix is not among them
mkdir -p "$XDG_CONFIG_HOME/Thunar" "$XDG_CONFIG_HOME/quorvex" "$XDG_DATA_HOME/nautilus/scripts"
cat > "$XDG_CONFIG_HOME/Thunar/uca.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<actions>
<action>
	<icon>utilities-terminal</icon>
	<name>Open Terminal Here</name>
	<submenu></submenu>
	<unique-id>1588860387838925-1</unique-id>
	<command>exo-open --working-directory %f --launch TerminalEmulator</command>
	<description>Example for a custom action</description>
	<patterns>*</patterns>
	<startup-notify/>
	<directories/>
</action>
</actions>
XML
printf '#!/bin/sh\necho my own script\n' > "$XDG_DATA_HOME/nautilus/scripts/My script"
chmod 755 "$XDG_DATA_HOME/nautilus/scripts/My script"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvandel Software\\Sildra\\LockExtensionEntry]\r\n"Value"="FALSE"\r\n\r\n' \
  > "$XDG_CONFIG_HOME/quorvex/HKEY_CURRENT_USER.reg"
before=$(snapshot "$home")

"$prefix/bin/quorvex-setup" > "$work/setup.log" 2>&1 || { cat "$work/setup.log" >&2; fail "quorvex-setup"; }

script="$XDG_DATA_HOME/nautilus/scripts/Encrypt∕Decrypt with Quorvex"
must_be_executable "$script"
grep -qF "exec '$work/Quorvex'\\''s prefix/bin/quorvex' \"\$1\"" "$script" || fail "the GNOME Files script does not start $prefix/bin/quorvex"
for menu in "$XDG_DATA_HOME/kio/servicemenus" "$XDG_DATA_HOME/kservices5/ServiceMenus"; do
  must_be_executable "$menu/quorvex-encrypt-decrypt.desktop"
  validate_service_menu "$menu/quorvex-encrypt-decrypt.desktop"
done
must_exist "$XDG_DATA_HOME/nemo/actions/quorvex-encrypt-decrypt.nemo_action"
validate_application "$XDG_DATA_HOME/applications/quorvex.desktop"
grep -qF 'Exec="'"$prefix"'/bin/quorvex" %f' "$XDG_DATA_HOME/applications/quorvex.desktop" ||
  fail "the user's desktop entry does not start $prefix/bin/quorvex"

uca="$XDG_CONFIG_HOME/Thunar/uca.xml"
grep -qF '<unique-id>1588860387838925-1</unique-id>' "$uca" || fail "the user's own Thunar action is gone"
[ "$(grep -c '<unique-id>quorvex-encrypt-decrypt</unique-id>' "$uca")" = 1 ] || fail "uca.xml does not hold the action once"

[ "$(stored_entry LockExtensionEntry)" = FALSE ] || fail "the user's LockExtensionEntry changed"
directory=$(stored_entry InstallationDirectory) || fail "no InstallationDirectory was written"
[ -f "$directory/help/Quorvex.html" ] || fail "InstallationDirectory '$directory' does not lead to the help document"

after_first=$(snapshot "$home")
"$prefix/bin/quorvex-setup" > "$work/setup.log" 2>&1 || { cat "$work/setup.log" >&2; fail "quorvex-setup, the second time"; }
[ "$(snapshot "$home")" = "$after_first" ] || fail "running quorvex-setup twice changed something"

"$prefix/bin/quorvex-setup" --uninstall > "$work/uninstall.log" 2>&1 ||
  { cat "$work/uninstall.log" >&2; fail "quorvex-setup --uninstall"; }
after=$(snapshot "$home")
[ "$after" = "$before" ] || fail "after --uninstall the home is not as it was:
$(printf '%s\n' "$before" > "$work/before"; printf '%s\n' "$after" > "$work/after"; diff "$work/before" "$work/after")"

# ------------------- a system-wide installation: the desktop finds its entries
home="$work/home2"
export HOME="$home"
export XDG_CONFIG_HOME="$home/.config"
export XDG_DATA_HOME="$home/.local/share"
export XDG_DATA_DIRS="$share"
export PATH="$prefix/bin:$PATH"
mkdir -p "$home"
"$prefix/bin/quorvex-setup" > "$work/setup.log" 2>&1 || { cat "$work/setup.log" >&2; fail "quorvex-setup for a system-wide installation"; }
must_be_executable "$XDG_DATA_HOME/nautilus/scripts/Encrypt∕Decrypt with Quorvex"
grep -qF '<unique-id>quorvex-encrypt-decrypt</unique-id>' "$XDG_CONFIG_HOME/Thunar/uca.xml" || fail "no Thunar action"
for own in kio/servicemenus/quorvex-encrypt-decrypt.desktop nemo/actions/quorvex-encrypt-decrypt.nemo_action \
           applications/quorvex.desktop; do
  [ ! -e "$XDG_DATA_HOME/$own" ] || fail "$own was added for the user beside the installation's own"
done
directory=$(stored_entry InstallationDirectory) || fail "no InstallationDirectory was written"
[ -f "$directory/help/Quorvex.html" ] || fail "InstallationDirectory '$directory' does not lead to the help document"

"$prefix/bin/quorvex-setup" --uninstall > "$work/uninstall.log" 2>&1 ||
  { cat "$work/uninstall.log" >&2; fail "quorvex-setup --uninstall"; }
# Only the settings store's own file stays, and it holds nothing.
left=$(cd "$home" && find . -type f ! -name '*.lock' | LC_ALL=C sort)
[ "$left" = "./.config/quorvex/HKEY_CURRENT_USER.reg" ] || fail "left behind: $left"
[ "$(cat "$XDG_CONFIG_HOME/quorvex/HKEY_CURRENT_USER.reg")" = "$(printf 'REGEDIT4\r\n\r')" ] ||
  fail "settings left behind: $(cat "$XDG_CONFIG_HOME/quorvex/HKEY_CURRENT_USER.reg")"

# ------------------------------------- the build folder is no installation
home="$work/home3"
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
mkdir -p "$home"
if "$build/bin/quorvex-setup" > "$work/setup.log" 2>&1; then fail "quorvex-setup ran from the build folder"; fi
grep -q "help document .* is missing" "$work/setup.log" || fail "no clear message: $(cat "$work/setup.log")"
[ -z "$(ls -A "$home")" ] || fail "quorvex-setup from the build folder changed the home"

echo "install test passed"
