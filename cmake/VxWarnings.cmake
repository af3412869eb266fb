# Warnings for our own targets. Call vx_warnings(<target>) on every target we write.
function(vx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # GCC 12 at -O3 reports overlapping copies inside libstdc++'s own string
  # concatenation ("P" + std::to_string(i)); the warning is wrong there and
  # would fail every optimised build that treats warnings as errors.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(VX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
