#!/usr/bin/env bash
# Runs a command as root in a throwaway copy of this machine: the root folder
# seen through an overlay whose writes go to memory, in mount and process
# namespaces of its own. Whatever the command installs, removes or changes
# goes with it; the machine is left as it was.
# Usage: throwaway_root.sh COMMAND...
# Exits 77 when no such root can be made here (not root, no overlay).
set -euo pipefail

if [[ $(id -u) -ne 0 ]]; then
    echo "throwaway_root: not root, so no throwaway root" >&2
    exit 77
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/convqvr-root.XXXXXX")
trap 'rmdir "$scratch"' EXIT

inside='
set -euo pipefail
scratch=$1
shift
# A chroot'"'"'s root is no mount point and cannot be made private; the
# namespace it runs in is private already.
mount --make-rprivate / 2>/dev/null || true
mount -t tmpfs throwaway "$scratch"
mkdir "$scratch/upper" "$scratch/work" "$scratch/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" \
    "$scratch/root" || exit 77
# The overlay shows the root file system alone: the others (a separate /tmp
# or /home, where the build may be) are put back in their places.
mapfile -t mounts < <(findmnt -rn -o TARGET)
for target in "${mounts[@]}"; do
    case $target in /|/proc|/proc/*|/sys|/sys/*|/dev|/dev/*|"$scratch"|"$scratch"/*) continue ;; esac
    parent=$(dirname "$target") nested=false
    while [[ $parent != / ]]; do
        printf "%s\n" "${mounts[@]}" | grep -qxF "$parent" && nested=true
        parent=$(dirname "$parent")
    done
    $nested || ! [[ -d $scratch/root$target ]] || mount --rbind "$target" "$scratch/root$target"
done
mount -t proc proc "$scratch/root/proc"
mount --rbind /dev "$scratch/root/dev"
mount --rbind /sys "$scratch/root/sys"
exec chroot "$scratch/root" /usr/bin/env --chdir="$PWD" "$@"
'
status=0
unshare --mount --propagation unchanged --pid --fork --kill-child bash -c "$inside" inside "$scratch" "$@" || status=$?
[[ $status -eq 77 ]] && echo "throwaway_root: no overlay of / here" >&2
exit $status
