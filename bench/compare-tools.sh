#!/usr/bin/env bash
# Encrypts and decrypts big files with quorvex-cli and with the tools people
# would pick instead, in the same folder and the same run, next to a plain
# copy followed by sync (what the disk allows at best), and prints a table:
# seconds, MB/s, peak memory and the ratio to the copy. Each figure is the
# median of several runs. Every run ends with `sync`, so each tool pays for
# getting its output onto the disk, as quorvex-cli does by itself.
#
#   bench/compare-tools.sh [--sizes "512 2048"] [--runs 3] [--dir DIR] [--only-quorvex]
#
# Sizes are in MiB. DIR defaults to build/bench-work in this repository and
# needs room for seven copies of the biggest file. With KEEP_RESULTS=1 in
# the environment, every single run's figures are printed on stderr too.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
sizes="512 2048"
runs=3
dir="$repo/build/bench-work"
only_quorvex=false
while [ $# -gt 0 ]; do
  case "$1" in
    --sizes) sizes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --only-quorvex) only_quorvex=true; shift ;;
    *) echo "usage: $0 [--sizes \"512 2048\"] [--runs N] [--dir DIR] [--only-quorvex]" >&2; exit 2 ;;
  esac
done

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -q '^installed$' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  echo "Installing ${missing[*]}" >&2
  $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

tools_packages=(time xvfb)
$only_quorvex || tools_packages+=(ccrypt gnupg age openssl)
install_missing "${tools_packages[@]}"

make -C "$repo" --no-print-directory build >/dev/null
cli="$repo/build/bin/quorvex-cli"

mkdir -p "$dir"
work=$(mktemp -d "$dir/run-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/xdg-config" XDG_DATA_HOME="$work/xdg-share" GNUPGHOME="$work/gnupg"
mkdir -p "$GNUPGHOME" && chmod 700 "$GNUPGHOME"
password="correct horse battery staple"
$only_quorvex || age-keygen -o "$work/age-key.txt" 2>/dev/null

# One timed run: `prepare` restores the inputs in $work, then `command`
# runs there followed by sync. Prints "seconds peak-KiB", or "failed".
measure_once() {
  local prepare=$1 command=$2 seconds kib status
  (cd "$work" && eval "$prepare") >/dev/null 2>&1
  sync
  (cd "$work" && /usr/bin/time -o "$work/time.out" -f "%e %M %x" bash -c "$command && sync" \
     >/dev/null 2>"$work/stderr.out") || true
  read -r seconds kib status < <(tail -n 1 "$work/time.out")
  if [ "$status" != 0 ]; then
    echo "FAILED: $command: $(cat "$work/stderr.out")" >&2
    echo "failed failed"
  else
    echo "$seconds $kib"
  fi
}

median() {  # file of "seconds kib" lines
  if grep -q failed "$1"; then echo "failed failed"; return; fi
  sort -n "$1" | sed -n "$((($(wc -l <"$1") + 1) / 2))p"
}

row() {  # tool operation size-MiB seconds peak-KiB copy-seconds
  if [ "$4" = failed ]; then
    printf "| %-22s | %-7s | %5d MiB | failed  |          |          |        |\n" "$1" "$2" "$3"
    return
  fi
  awk -v tool="$1" -v op="$2" -v mib="$3" -v s="$4" -v kib="$5" -v copy="$6" 'BEGIN {
    mbs = s > 0 ? mib * 1.048576 / s : 0
    printf "| %-22s | %-7s | %5d MiB | %7.2f | %8.0f | %8.1f | %5.2f |\n", tool, op, mib, s, mbs, kib / 1024, s / copy }'
}

# The cases: tool, operation, how to restore the input, the command.
names=() ops=() prepares=() commands=()
add_case() { names+=("$1"); ops+=("$2"); prepares+=("$3"); commands+=("$4"); }

restore="cp --reflink=never original data"
add_case "cp + sync" copy "$restore; rm -f copy" "cp data copy"
add_case "quorvex-cli" encrypt "$restore" "'$cli' encrypt --no-suffix --password-stdin data <<<'$password'"
add_case "quorvex-cli" decrypt "cp --reflink=never encrypted-data data" \
         "'$cli' decrypt --password-stdin data <<<'$password'"
gpg_options="--batch --yes --quiet --pinentry-mode loopback --passphrase '$password'"
openssl_options="-aes-256-ctr -pbkdf2 -pass 'pass:$password'"
if ! $only_quorvex; then
  add_case "ccrypt" encrypt "$restore; rm -f data.cpt" "ccrypt -e -K '$password' data"
  add_case "ccrypt" decrypt "rm -f data data.cpt; cp ccrypt-data.cpt data.cpt" "ccrypt -d -K '$password' data.cpt"
  add_case "gpg --symmetric" encrypt "$restore; rm -f data.gpg" "gpg $gpg_options --symmetric -o data.gpg data"
  add_case "gpg --symmetric" decrypt "rm -f data" "gpg $gpg_options -o data -d gpg-data.gpg"
  add_case "age (key file)" encrypt "$restore; rm -f data.age" "age -e -i age-key.txt -o data.age data"
  add_case "age (key file)" decrypt "rm -f data" "age -d -i age-key.txt -o data age-data.age"
  add_case "openssl enc" encrypt "$restore; rm -f data.enc" "openssl enc $openssl_options -in data -out data.enc"
  add_case "openssl enc" decrypt "rm -f data" "openssl enc -d $openssl_options -in openssl-data.enc -out data"
fi

echo
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo) memory;" \
     "folder $dir on $(df -T "$dir" | awk 'NR == 2 {print $2}'); median of $runs runs, the cases taking turns"
echo
echo "| tool                   | op      | size      | seconds |     MB/s | peak MiB | × copy |"
echo "|------------------------|---------|-----------|---------|----------|----------|--------|"
for mib in $sizes; do
  (
    cd "$work"
    { openssl enc -aes-128-ctr -pass pass:bench -nosalt -pbkdf2 </dev/zero 2>/dev/null || true; } |
      head -c "$((mib * 1048576))" >original
    cp original encrypted-data
    "$cli" encrypt --no-suffix --password-stdin encrypted-data <<<"$password"
    if ! $only_quorvex; then
      cp original data && ccrypt -e -K "$password" data && mv data.cpt ccrypt-data.cpt
      eval "gpg $gpg_options --symmetric -o gpg-data.gpg original"
      age -e -i age-key.txt -o age-data.age original
      eval "openssl enc $openssl_options -in original -out openssl-data.enc"
    fi
  )
  # Round after round, every case once, so that a slow spell of the
  # machine falls on all of them alike; each round starts one case later,
  # so no case always follows the same one (a disk still busy with the
  # previous case's output would otherwise always slow the same case).
  count=${#names[@]}
  for ((round = 0; round < runs; round++)); do
    for ((step = 0; step < count; step++)); do
      i=$(((round + step) % count))
      measure_once "${prepares[$i]}" "${commands[$i]}" >>"$work/results-$i"
    done
  done
  read -r copy_s _ < <(median "$work/results-0")
  for i in "${!names[@]}"; do
    read -r s kib < <(median "$work/results-$i")
    row "${names[$i]}" "${ops[$i]}" "$mib" "$s" "$kib" "$copy_s"
  done
  [ -n "${KEEP_RESULTS:-}" ] && for i in "${!names[@]}"; do echo "${names[$i]} ${ops[$i]}: $(tr "\n" " " <"$work/results-$i")"; done >&2
  rm -f "$work"/results-* "$work"/*data* "$work"/original "$work"/copy
done
echo

if [ -n "$(command -v Xvfb)" ] && [ -x "$repo/build/bin/quorvex" ]; then
  install_missing python3-xlib
  "$repo/bench/window-startup.py"
fi
