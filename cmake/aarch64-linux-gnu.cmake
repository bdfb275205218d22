# Cross-builds Vorla for 64-bit Arm Linux (a Raspberry Pi 3, 4 or 5 with a 64-bit system)
# with Debian's cross compiler, against the arm64 packages that multiarch puts beside the
# native ones. qemu-user runs the results, so ctest and test discovery work as on the host.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# Multiarch keeps arm64 headers and libraries under /usr, beside the host's; the library
# architecture above picks the right folders, and programs (moc, pkg-config's helpers) stay
# the host's.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /usr)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# The arm64 loader and libraries live in /lib and /usr/lib/aarch64-linux-gnu, where
# qemu-aarch64 finds them through the binary's own interpreter path.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
