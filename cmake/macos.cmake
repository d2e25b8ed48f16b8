# Apple settings for the macOS backend: Objective-C++, Apple silicon, macOS 14.
# Set here they still reach every target's compile and link flags, which CMake
# computes when it generates; setting them before project() (or with -D) also
# lets the compiler checks see them.
if(NOT CMAKE_OSX_ARCHITECTURES)
  set(CMAKE_OSX_ARCHITECTURES arm64)
endif()
# 14.0: the SDKs deprecate CGDisplayCreateImage as of 14.4 and the macOS 15
# SDK makes it unavailable for targets of 15 and later, though the call
# remains in the system.
if(NOT CMAKE_OSX_DEPLOYMENT_TARGET)
  set(CMAKE_OSX_DEPLOYMENT_TARGET 14.0)
endif()

enable_language(OBJCXX)
set(CMAKE_OBJCXX_STANDARD ${CMAKE_CXX_STANDARD})
set(CMAKE_OBJCXX_STANDARD_REQUIRED ON)
set(CMAKE_OBJCXX_EXTENSIONS OFF)
