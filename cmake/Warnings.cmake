# Warning set for the project's own targets: korvanta_warnings(<target>)
function(korvanta_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wformat=2 -Wimplicit-fallthrough)
  if(KORVANTA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Common settings of the project's libraries: warnings, and a file name that cannot be mistaken
# for a system library (the "usb" layer would otherwise build libusb.a).
function(korvanta_library target)
  korvanta_warnings(${target})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME korvanta_${target})
endfunction()
