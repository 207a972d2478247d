# wxWidgets 3.2 (GTK 3) with its GL canvas, OpenGL and GLU, and the
# precompiled header every GUI target shares. Only the GUI libraries, the
# program and their tests include this; machine_link, geometry and file_io
# never do.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS gl core base)
find_package(OpenGL REQUIRED)
if(NOT TARGET OpenGL::GLU)
  message(FATAL_ERROR "GLU not found: install libglu1-mesa-dev")
endif()

# One precompiled header for every GUI target, built once by this object
# library and reused by the others (a precompiled header is large and slow to
# make; fourteen of them also made fresh builds fail now and then). Reuse needs
# the same code-generation flags everywhere: -fPIC for the executables as for
# the shared libraries (CMake's own setting gives executables -fPIE, with which
# the header would not be used).
add_compile_options(-fPIC)
add_library(morvadin_wx_pch OBJECT ${CMAKE_CURRENT_LIST_DIR}/wx_pch.cpp)
target_include_directories(morvadin_wx_pch SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(morvadin_wx_pch PUBLIC ${wxWidgets_DEFINITIONS})
target_compile_options(morvadin_wx_pch PUBLIC ${wxWidgets_CXX_FLAGS})
target_precompile_headers(morvadin_wx_pch PRIVATE ${CMAKE_CURRENT_LIST_DIR}/wx_pch.h)
# Made by the compiler itself, never taken from the compiler cache: a header
# made by another compiler run may not map into this one.
set_target_properties(morvadin_wx_pch PROPERTIES CXX_COMPILER_LAUNCHER "")

# Compiles target against wxWidgets, OpenGL and GLU, with the shared precompiled header.
function(morvadin_use_wx target)
  target_include_directories(${target} SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
  target_compile_definitions(${target} PUBLIC ${wxWidgets_DEFINITIONS})
  target_compile_options(${target} PUBLIC ${wxWidgets_CXX_FLAGS})
  target_link_libraries(${target} PUBLIC ${wxWidgets_LIBRARIES} OpenGL::GL OpenGL::GLU)
  target_precompile_headers(${target} REUSE_FROM morvadin_wx_pch)
endfunction()
