#!/usr/bin/env bash
# Installs, on a Debian machine, what the 32-bit ARM (armhf) test build needs:
# the cross compiler, the armhf builds of the XML-RPC library and GoogleTest
# through multiarch, and qemu-user to run the armhf programs. Safe to run again:
# it only calls apt-get when something is missing. Then it registers qemu-arm
# with the kernel's binfmt_misc, so that an armhf program started by exec (the
# test harness starts the programs and the trial runtime so) runs under qemu.
set -euo pipefail

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

packages=(
  crossbuild-essential-armhf  # arm-linux-gnueabihf-gcc/g++ and the armhf C library
  libflxmlrpc-dev:armhf       # the XML-RPC library, armhf build
  libgtest-dev:armhf          # GoogleTest, armhf build
  libubsan1:armhf             # the undefined-behaviour checks, at run time
  qemu-user                   # qemu-arm, runs the armhf programs on this machine
  qemu-user-binfmt            # its binfmt_misc rule (/usr/lib/binfmt.d/qemu-arm.conf)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
apt_get() {
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get -o DPkg::Lock::Timeout=600 "$@"
}
if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx armhf; then
    $sudo_cmd dpkg --add-architecture armhf
  fi
  apt_get update -qq
  # --no-remove: an armhf library must never push out its amd64 twin.
  apt_get install -y -qq --no-remove "${missing[@]}"
fi

# binfmt_misc: qemu-user-binfmt ships the rule; a machine without systemd (or a
# fresh boot) may not have mounted or loaded it yet.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  $sudo_cmd mount -t binfmt_misc binfmt_misc "$binfmt" || true
fi
if [ -e "$binfmt/register" ] && [ ! -e "$binfmt/qemu-arm" ]; then
  $sudo_cmd sh -c "cat /usr/lib/binfmt.d/qemu-arm.conf > $binfmt/register" || true
fi
if [ "$(head -n1 "$binfmt/qemu-arm" 2>/dev/null)" = disabled ]; then
  $sudo_cmd sh -c "echo 1 > $binfmt/qemu-arm" || true
fi
[ "$(head -n1 "$binfmt/qemu-arm" 2>/dev/null)" = enabled ] ||
  echo "setup-armhf: qemu-arm is not registered with binfmt_misc" >&2
