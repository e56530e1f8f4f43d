# Our own targets build with warnings as errors; third-party headers come in as system includes.
function(korvel_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
      -Wno-sign-conversion -Wno-trigraphs -Werror)
  endif()
endfunction()
