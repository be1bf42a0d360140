#!/bin/bash
# Runs the end-to-end scenarios under Wine, each in its own copy of a
# template prefix (the shell folders, drive letters and registry of a prefix
# are shared by everything run in it).
#
#   e2e.sh template <prefix> [win64|win32]
#       makes the stopped template prefix: a 64-bit Windows (the default) or
#       a 32-bit one
#   e2e.sh scenario <template> <work> <driver.exe> <setup.exe> <name> [args]
#       copies the template to <work>/prefix, prepares the drive letters the
#       arguments name ("r=cdrom": a CD-ROM drive, "q=nodrive": no drive,
#       "t=small": a drive of its own of 40 MB, a tmpfs mounted for the run),
#       plants the links they name ("Tools=link": C:\Tools, a link to a
#       folder elsewhere, as another program of the user could make it) and
#       runs the driver there with a wineserver of its own.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)

windows_path() { local p=$1; echo "Z:${p//\//\\}"; }

case ${1:-} in
  template)
    export VX_WINEPREFIX=$2
    source "$ROOT/scripts/wine-env"
    export WINEARCH=${3:-win64}
    vx_make_prefix null
    echo "template prefix ready"
    ;;
  scenario)
    template=$2 work=$3 driver=$4 setup=$5 name=$6
    shift 6
    sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    # A small drive an earlier run left mounted (it was killed) goes first.
    ! mountpoint -q "$work/small" || $sudo umount "$work/small"
    rm -rf "$work"
    mkdir -p "$work"
    cp -a "$template" "$work/prefix"
    export VX_WINEPREFIX=$work/prefix
    source "$ROOT/scripts/wine-env"
    # Wine refuses a prefix of the other kind than WINEARCH names.
    ! grep -qx '#arch=win32' "$WINEPREFIX/system.reg" || export WINEARCH=win32
    # Drive letters are read when the server starts: set them up first.
    for arg in "$@"; do
      letter=${arg%%=*}
      case ${arg#*=} in
        cdrom)
          mkdir -p "$work/cdrom"
          ln -sfn "$work/cdrom" "$WINEPREFIX/dosdevices/$letter:"
          # Wine reads its drive types from the 64-bit view.
          wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /f /reg:64 \
            >/dev/null 2>&1 </dev/null
          wineserver -k || true ;;
        nodrive)
          rm -f "$WINEPREFIX/dosdevices/$letter:" ;;
        small)
          # A scenario fills this drive on purpose: it must be the small one,
          # never the disk the work folder lies on.
          mkdir -p "$work/small"
          $sudo mount -t tmpfs -o size=40m,mode=0777 vx-small-drive "$work/small"
          mountpoint -q "$work/small" || { echo "e2e.sh: the small drive is not mounted" >&2; exit 1; }
          ln -sfn "$work/small" "$WINEPREFIX/dosdevices/$letter:" ;;
        link)
          mkdir -p "$work/elsewhere"
          ln -sfn "$work/elsewhere" "$WINEPREFIX/drive_c/$letter" ;;
      esac
    done
    trap 'vx_stop_server; rm -rf "$work/prefix"
          ! mountpoint -q "$work/small" || $sudo umount "$work/small"' EXIT
    vx_start_server
    wine "$driver" "$name" "$(windows_path "$setup")" "$@" </dev/null
    ;;
  *)
    echo "usage: e2e.sh template <prefix> | scenario <template> <work> <driver> <setup> <name> [args]" >&2
    exit 2 ;;
esac
