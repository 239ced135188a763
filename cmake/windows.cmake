# The Windows program, cross-built with mingw-w64 (or built with MSVC).

set(VARDIX_WINDOWS_SOURCES
  src/fill/elevated_fill.cpp
  src/app/filler_app.cpp
  src/fill/clipboard_session.cpp
  src/fill/accessible_probe.cpp
  src/fill/filler.cpp
  src/fill/held_hotkey.cpp
  src/fill/typed_fill.cpp
  src/settings/hotkey_binding.cpp
  src/settings/settings_store.cpp
  src/ui/about_dialog.cpp
  src/ui/main_dialog.cpp
  src/ui/settings_panel.cpp
  src/winfx/app.cpp
  src/winfx/dialog.cpp
  src/winfx/process.cpp
  src/winfx/resources.cpp
  src/winfx/win_main.cpp
  src/res/vardix.rc)
list(TRANSFORM VARDIX_WINDOWS_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)
# The resource script takes the manifest in whole; the scan of its includes does not see it.
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/res/vardix.rc PROPERTIES OBJECT_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/res/vardix.manifest)

# The program; the end-to-end tests build a second one from the same sources.
function(vardix_program target)
  add_executable(${target} WIN32 ${VARDIX_WINDOWS_SOURCES})
  # Only Windows' known DLLs are imported; oleacc.dll is loaded at run time (fill/accessible_probe.cpp).
  target_link_libraries(${target} PRIVATE vardix_core ole32 oleaut32 uuid shell32)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
  if(MSVC)
    # The resource script holds the manifest; the linker's own would be a second one.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  else()
    # One file that needs no DLL beyond Windows' own.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -s)
  endif()
endfunction()
vardix_program(vardix)

# The executable's machine type and imports, checked in the test run.
if(VARDIX_OBJDUMP)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(_machine "pei-x86-64")
  else()
    set(_machine "pei-i386")
  endif()
  add_test(NAME pe_image_check
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-pe.sh ${VARDIX_OBJDUMP} $<TARGET_FILE:vardix> ${_machine})
endif()

# The About box's icon control as compiled, decompiled from the executable:
# an ICON statement would lose its width and height on the way.
if(CMAKE_RC_COMPILER MATCHES "windres")
  add_test(NAME about_icon_template COMMAND ${CMAKE_RC_COMPILER} -i $<TARGET_FILE:vardix> -O rc)
  set_tests_properties(about_icon_template PROPERTIES PASS_REGULAR_EXPRESSION "ICON 128, 65535, 11, 17, 20, 20, ")
endif()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND EXISTS ${CMAKE_SOURCE_DIR}/e2e/CMakeLists.txt)
  add_subdirectory(e2e)
  add_subdirectory(bench)
endif()
