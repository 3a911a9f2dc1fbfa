#!/usr/bin/env bash
# tren-cli on the disks sets travel on: small FAT and exFAT images, mounted by the kernel's
# driver where it has one, else through FUSE. A set survives a remount byte for byte, is found
# when its names are in another case, a changed piece is named, and the run-time's own answers
# for the disk (refused names, space, leftovers, trash) are tried by tren_tests there.
# Usage: disks_test.sh /path/to/tren-cli /path/to/tren_tests
set -u
[[ $# -eq 2 && -x $1 && -x $2 ]] || { echo "usage: $0 /path/to/tren-cli /path/to/tren_tests" >&2; exit 2; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
TESTS=$(cd "$(dirname "$2")" && pwd -P)/$(basename "$2")
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
LOOP="" FUSE_PID="" MOUNTED=""
unmount_disk() {
    umount "$MOUNTED" 2>/dev/null || umount -l "$MOUNTED"
    # A FUSE driver may still be writing the image when umount returns.
    [[ -z $FUSE_PID ]] || wait "$FUSE_PID"
    [[ -z $LOOP ]] || losetup -d "$LOOP"
    LOOP="" FUSE_PID="" MOUNTED=""
}
trap '[[ -z $MOUNTED ]] || unmount_disk; rm -rf "$ROOT"' EXIT

# mount_disk KIND IMAGE POINT: the kernel's driver first, else the FUSE one (exfat-fuse
# wants a block device).
mount_disk() {
    if mount -o loop "$2" "$3" 2>/dev/null; then MOUNTED=$3 && return 0; fi
    if [[ $1 == fat ]]; then
        fusefat -f -o rw+ "$2" "$3" >/dev/null 2>&1 & FUSE_PID=$!
        for _ in $(seq 100); do mountpoint -q "$3" && break; sleep 0.05; done
    else
        LOOP=$(losetup -f --show "$2") && mount.exfat-fuse "$LOOP" "$3" >/dev/null 2>&1
    fi
    MOUNTED=$3 && mountpoint -q "$3" && return 0
    unmount_disk 2>/dev/null
    return 1
}

why=""
[[ $(id -u) -eq 0 ]] || why="mounting needs root"
[[ -c /dev/fuse ]] || why="${why:-no /dev/fuse}"
for tool in mkfs.vfat mkfs.exfat fusefat mount.exfat-fuse losetup mountpoint; do
    command -v "$tool" >/dev/null || why="${why:-no $tool (scripts/setup.sh installs it)}"
done
[[ -z $why ]] || { echo "SKIP: $why"; exit 77; }

head -c 1100000 /dev/urandom >"$ROOT/data.bin"
for row in "fat|mkfs.vfat|FAT" "exfat|mkfs.exfat|exFAT"; do
    IFS='|' read -r kind mkfs family <<<"$row"
    D=$ROOT/$kind && mkdir -p "$D" && truncate -s 8M "$ROOT/$kind.img"
    if ! "$mkfs" "$ROOT/$kind.img" >/dev/null 2>&1 || ! mount_disk "$kind" "$ROOT/$kind.img" "$D"; then
        skip "$family: the disk cannot be made or mounted here"
        continue
    fi
    mkdir -p "$D/set" "$D/back" "$D/case"
    run "$ROOT" tren data.bin --size 500K --out "$D/set" --sums --recovery 1; expect_rc 0
    unmount_disk && mount_disk "$kind" "$ROOT/$kind.img" "$D" || bad "no remount"
    run "$D" build set/data.bin.tr0 --out back; expect_rc 0
    cmp -s "$ROOT/data.bin" "$D/back/data.bin" || bad "the file built differs"
    done_case "$family: a set cut there builds byte for byte after a remount"

    # An 8 MB stick with the set: a 7 MB file of that name cannot fit beside it, and the old
    # set stays whole. Names the disk would refuse or change are refused before writing.
    mkdir -p "$ROOT/new" && head -c 7000000 /dev/urandom >"$ROOT/new/data.bin" && cp "$D/set/data.bin.tr0" "$ROOT/header"
    run "$ROOT" tren new/data.bin --size 500K --out "$D/set" --sums; expect_rc 1
    grep -q "not enough room in $D/set/" "$ERR" || bad "no word of the room"
    cmp -s "$ROOT/header" "$D/set/data.bin.tr0" && [[ ! -e $D/set/data.bin.tr4 ]] || bad "the old set changed"
    head -c 600000 /dev/urandom >"$ROOT/a:b" && head -c 600000 /dev/urandom >"$ROOT/notes." && mkdir -p "$D/names"
    run "$ROOT" tren "a:b" --size 500K --out "$D/names"; expect_rc 1
    grep -q "not allowed on that disk" "$ERR" && [[ -z $(ls -A "$D/names") ]] || bad "a:b was not refused first"
    run "$ROOT" tren "notes." --size 500K --out "$ROOT" && run "$ROOT" build notes..tr0 --out "$D/names"; expect_rc 1
    grep -q "$D/names/notes. is not allowed on that disk" "$ERR" && [[ -z $(ls -A "$D/names") ]] || bad "notes. was not refused first"
    done_case "$family: what cannot be written whole is refused before anything is written"

    # Through another name: fusefat loses the clusters of a file renamed only in case.
    for f in "$D"/set/*; do mv "$f" "$f.x" && mv "$f.x" "$D/set/$(basename "$f" | tr a-z A-Z)"; done
    run "$D" build set/data.bin.tr0 --out case; expect_rc 0
    cmp -s "$ROOT/data.bin" "$D/case/data.bin" || bad "the file built differs"
    done_case "$family: a set whose names are in another case than typed is built"

    printf tampered | dd of="$D/set/data.bin.tr2" bs=1 seek=1000 conv=notrunc status=none
    run "$D" verify set/data.bin.tr0; expect_rc 1
    grep -qi 'data\.bin\.tr2' "$OUT" "$ERR" || bad "the changed piece is not named"
    done_case "$family: verify names the piece whose bytes changed"
    run "$D" repair set/data.bin.tr0; expect_rc 0
    run "$D" verify set/data.bin.tr0; expect_rc 0
    done_case "$family: repair writes the piece back from recovery files named in another case"

    TREN_TEST_DISK=$D TREN_TEST_DISK_FAMILY=$family \
        "$TESTS" --gtest_filter=PosixRunTime.AnswersForTheDiskMounted >"$OUT" 2>"$ERR"; RC=$?
    expect_rc 0 && grep -q '\[  PASSED  \] 1 test' "$OUT" || bad "tren_tests did not pass there"
    done_case "$family: the run-time's answers for the disk"
    unmount_disk
done
finish
