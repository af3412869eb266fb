# Warnings for our own targets. Call vx_warnings(<target>) on every target we write.
function(vx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
