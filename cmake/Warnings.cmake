# One warning policy for the whole tree; every target opts in with tools_warnings().
function(tools_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  endif()
endfunction()

# Windows programs ship as one self-contained .exe each.
function(tools_windows_program target)
  tools_warnings(${target})
  if(MINGW)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -s)
  endif()
endfunction()
