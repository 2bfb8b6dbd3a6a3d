# Cross-builds for another Linux architecture with Debian's cross compilers (g++-TRIPLET), named by
# the GNU triplet: -DCROSS_TRIPLET=s390x-linux-gnu (or i686-linux-gnu, aarch64-linux-gnu, ...).
# Tests run under qemu-user with the target's libraries from /usr/TRIPLET, when qemu is there.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CROSS_TRIPLET)
if(NOT CROSS_TRIPLET)
  message(FATAL_ERROR "name the target: -DCROSS_TRIPLET=s390x-linux-gnu")
endif()
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR ${CROSS_TRIPLET})
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${CROSS_TRIPLET}-gcc)  # for GoogleTest's project
set(CMAKE_CXX_COMPILER ${CROSS_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# qemu names the 32-bit x86 i386 whatever the triplet says.
string(REGEX REPLACE "^i[3-6]86$" "i386" qemu_target ${CMAKE_SYSTEM_PROCESSOR})
find_program(QEMU_USER NAMES qemu-${qemu_target} qemu-${qemu_target}-static)
if(QEMU_USER)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_USER} -L /usr/${CROSS_TRIPLET})
endif()
