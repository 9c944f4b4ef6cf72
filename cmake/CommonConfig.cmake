# Build settings shared by every target: the language level, warnings, Qt strictness and the sanitizer switch.
option(VOLMAR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

add_library(volmar_common INTERFACE)
target_compile_features(volmar_common INTERFACE cxx_std_17)
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_options(volmar_common INTERFACE -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor)
target_compile_definitions(volmar_common INTERFACE
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_DISABLE_DEPRECATED_BEFORE=0x060000)
target_include_directories(volmar_common INTERFACE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})

if(VOLMAR_SANITIZE)
    target_compile_options(volmar_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(volmar_common INTERFACE -fsanitize=address,undefined)
endif()
