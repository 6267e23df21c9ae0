# Cross-compiles for the terminals (AArch64 Linux) with Debian's multiarch
# packages: g++-aarch64-linux-gnu, qtbase5-dev:arm64 (or qt6-base-dev:arm64),
# and qemu-user-static to run the tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Target libraries and packages come from the arm64 multiarch directories;
# programs such as moc and uic are the build machine's own.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
