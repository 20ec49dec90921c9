#!/usr/bin/env bash
# Compiles the help project zettelwerk.hhp in <project dir> into <project dir>/zettelwerk.chm.
# Usage: compile_chm.sh <project dir> <chmcmd>
#
# chmcmd records each mapped topic of the context map (#STRINGS, #IVB) as the project's absolute
# directory followed by the topic's name. That leaks the build machine's path into the shipped
# file, and a standard reader finds no topic for a context number. Run with the project
# directory as its root directory, the compiler sees the project at "/" and records
# "/<topic>.htm", the topic's name inside the archive. The root needs a private mount
# namespace: as root directly, otherwise in a user namespace of our own.
set -euo pipefail
project=$(cd "${1:?project dir}" && pwd)
chmcmd=$(readlink -f "$(command -v "${2:?chmcmd}")")
cd "$project"
rm -f zettelwerk.chm
# Left over from an interrupted run.
for d in usr lib lib64 bin; do
  if [ -L "$d" ]; then rm -f "$d"; elif [ -d "$d" ]; then rmdir "$d"; fi
done

# What the compiler needs of the system inside its root: /usr, and /lib, /lib64, /bin as the
# system has them (links on a merged /usr, else directories mounted as well).
made=()
mounts=(usr)
mkdir usr
made+=(usr)
for d in lib lib64 bin; do
  [ -e "/$d" ] || continue
  if [ -L "/$d" ]; then
    ln -s "$(readlink "/$d")" "$d"
  else
    mkdir "$d"
    mounts+=("$d")
  fi
  made+=("$d")
done

run_rooted() {
  # shellcheck disable=SC2016
  "$@" sh -c 'root=$1 exe=$2; shift 2
    for d in "$@"; do mount --rbind "/$d" "$root/$d" || exit 97; done
    exec chroot "$root" "$exe" zettelwerk.hhp' rooted "$project" "$chmcmd" "${mounts[@]}"
}

status=0
if [ "$(id -u)" -eq 0 ] && unshare --mount --propagation private true 2>/dev/null; then
  run_rooted unshare --mount --propagation private || status=$?
elif unshare --user --map-root-user --mount --propagation private true 2>/dev/null; then
  run_rooted unshare --user --map-root-user --mount --propagation private || status=$?
else
  status=98
fi

# The mounts ended with their namespace; rmdir refuses anything that is not empty.
for d in "${made[@]}"; do
  if [ -L "$d" ]; then rm -f "$d"; else rmdir "$d"; fi
done

if [ "$status" -ne 0 ] || [ ! -s zettelwerk.chm ]; then
  echo "warning: the help compiler could not run with the project as its root (status $status);" \
    "zettelwerk.chm names this directory in its context map" >&2
  rm -f zettelwerk.chm
  "$chmcmd" zettelwerk.hhp
fi
[ -s zettelwerk.chm ]
