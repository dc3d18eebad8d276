# Every target of ours gets the same warning set through this interface library.
add_library(vendra_warnings INTERFACE)
target_compile_options(vendra_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wimplicit-fallthrough -Wformat=2)
if(VENDRA_WERROR)
  target_compile_options(vendra_warnings INTERFACE -Werror)
endif()
