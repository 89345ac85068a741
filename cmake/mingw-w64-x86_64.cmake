# Cross build of the Windows deliverables with mingw-w64 (Debian's
# g++-mingw-w64-x86-64 and mingw-w64-tools). Used by the `windows` preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QTR_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QTR_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${QTR_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${QTR_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${QTR_MINGW_TRIPLE}-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${QTR_MINGW_TRIPLE}-ranlib CACHE FILEPATH "Ranlib")

# The mingw sysroot. Debian keeps the headers under /usr/share/mingw-w64 and
# links them into the sysroot, so both places are searched.
set(QTR_MINGW_SYSROOT /usr/${QTR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${QTR_MINGW_SYSROOT})

# Programs come from the build machine; headers, libraries and packages only
# from the target's sysroot, never from the host's /usr.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The kernel headers the driver is compiled against: ntddk.h, usbdlib.h and
# wmilib.h live in the DDK directory, usb.h in the main include directory
# (which the compiler searches anyway). Searched with explicit paths, outside the find-root
# re-rooting, so the result does not depend on where the toolchain file is
# read (this file is also read by every try_compile).
if(NOT QTR_DDK_INCLUDE_DIR)
  find_path(QTR_DDK_INCLUDE_DIR
    NAMES ntddk.h
    PATHS
      ${QTR_MINGW_SYSROOT}/include/ddk
      ${QTR_MINGW_SYSROOT}/sys-root/mingw/include/ddk
      /usr/share/mingw-w64/include/ddk
    NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH
    DOC "mingw-w64 DDK include directory (ntddk.h, usbdlib.h, wmilib.h)")
endif()
if(NOT QTR_DDK_INCLUDE_DIR)
  message(FATAL_ERROR
    "ntddk.h not found in the mingw-w64 DDK headers; install mingw-w64-x86-64-dev "
    "(pulled in by g++-mingw-w64-x86-64) or set QTR_DDK_INCLUDE_DIR.")
endif()
foreach(header ddk/usbdlib.h ddk/wmilib.h usb.h)
  if(NOT EXISTS "${QTR_DDK_INCLUDE_DIR}/../${header}")
    message(FATAL_ERROR "${header} missing next to ${QTR_DDK_INCLUDE_DIR}")
  endif()
endforeach()
