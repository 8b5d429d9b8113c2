# Toolchain for the controller's CPU: 32-bit ARM, hard float (Debian's armhf),
# built with crossbuild-essential-armhf against the armhf libraries that
# multiarch installs under /usr/lib/arm-linux-gnueabihf (scripts/setup-armhf.sh).
# Programs of this build run here under qemu-arm: ctest starts them through the
# emulator, and what they exec in turn runs through binfmt_misc.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TRIPLET arm-linux-gnueabihf)

set(CMAKE_C_COMPILER ${TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TRIPLET}-g++)

# Headers and libraries only from the armhf side of the multiarch tree; the
# build's own programs from the host.
set(CMAKE_LIBRARY_ARCHITECTURE ${TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH / /usr/${TRIPLET})

# The host's pkg-config, reading only the armhf .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${TRIPLET}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

find_program(TELVARIN_QEMU_ARM qemu-arm REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TELVARIN_QEMU_ARM})
