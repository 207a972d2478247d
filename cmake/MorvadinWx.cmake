# wxWidgets 3.2 (GTK 3) with its GL canvas, OpenGL and GLU, and the
# precompiled header every GUI target shares. Only the GUI libraries, the
# program and their tests include this; machine_link, geometry and file_io
# never do.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS gl core base)
find_package(OpenGL REQUIRED)
if(NOT TARGET OpenGL::GLU)
  message(FATAL_ERROR "GLU not found: install libglu1-mesa-dev")
endif()

# Compiles target against wxWidgets, OpenGL and GLU, with wx in a precompiled header.
function(morvadin_use_wx target)
  target_include_directories(${target} SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
  target_compile_definitions(${target} PUBLIC ${wxWidgets_DEFINITIONS})
  target_compile_options(${target} PUBLIC ${wxWidgets_CXX_FLAGS})
  target_link_libraries(${target} PUBLIC ${wxWidgets_LIBRARIES} OpenGL::GL OpenGL::GLU)
  target_precompile_headers(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/wx_pch.h)
endfunction()
