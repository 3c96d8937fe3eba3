# Warning and sanitizer settings as INTERFACE targets that only our own targets link, so they never
# leak into users' builds of other code.

add_library(tolvren_warnings INTERFACE)
target_compile_options(tolvren_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
  -Wno-sign-conversion)
if(TOLVREN_WERROR)
  target_compile_options(tolvren_warnings INTERFACE -Werror)
endif()

add_library(tolvren_sanitizers INTERFACE)
if(TOLVREN_SANITIZE)
  list(JOIN TOLVREN_SANITIZE "," _tolvren_sanitizers)
  target_compile_options(tolvren_sanitizers INTERFACE -fsanitize=${_tolvren_sanitizers}
    -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tolvren_sanitizers INTERFACE -fsanitize=${_tolvren_sanitizers})
endif()

# Everything of ours links this one.
add_library(tolvren_options INTERFACE)
target_link_libraries(tolvren_options INTERFACE tolvren_warnings tolvren_sanitizers)

# Windows 10 and later, its Unicode (…W) calls; windows.h without min/max macros or the rarely used
# parts.
if(WIN32)
  target_compile_definitions(tolvren_options INTERFACE _WIN32_WINNT=0x0A00 WINVER=0x0A00
    UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
endif()
