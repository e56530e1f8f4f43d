# Our own targets build with warnings as errors; third-party headers come in as system includes.
function(korvel_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
      -Wno-sign-conversion -Wno-trigraphs -Werror)
    # GCC 12 at -O3 reports overlapping, out-of-bounds and over-long copies inside std::string and
    # std::vector themselves (GCC bugs 105329, 107852): false alarms that would fail every
    # optimised build. The sanitised test build checks every access at run time instead.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-restrict -Wno-array-bounds
        -Wno-stringop-overread -Wno-stringop-overflow)
    endif()
  endif()
endfunction()
