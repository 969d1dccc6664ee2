# Delay-loaded system DLLs. Every start of installer.exe loads installer.dll,
# and under Wine each system DLL it imports at load time costs its share of
# that start (user32, comctl32 and secur32 the most), while most roles call
# few of them: the info switches none, the crash reporter and the backend of
# a silent install no GDI+, common controls or WinHTTP. Linked with
# kelvo_delay_load, a module imports the DLLs below through delay-import
# libraries: each DLL is loaded when one of its functions is first called.
#
# The delay-import libraries are made from the toolchain's import libraries
# (tools/make_delay_import_lib.py) and take their place on the module's link
# line, by name (-lNAME finds the library folder given first). The module's
# own failure hook (desktop/windows/installer/process/delay_load_failure.cc)
# turns a DLL or a function that cannot be found into a logged, clean end
# of the process instead of an unexplained crash.

set(KELVO_DELAY_LOADED_DLLS
  advapi32 bcrypt comctl32 crypt32 gdi32 gdiplus msimg32 ole32 oleaut32
  psapi secur32 shell32 shlwapi user32 uxtheme winhttp wininet wintrust
  ws2_32)
set(KELVO_DELAY_IMPORT_DIR ${CMAKE_BINARY_DIR}/delay_import)
set(KELVO_DELAY_IMPORT_SCRIPT
    ${CMAKE_SOURCE_DIR}/tools/make_delay_import_lib.py)

# kelvo_delay_import_library(OUTPUT INPUT)
# The rule that makes the delay-import library OUTPUT from INPUT, an import
# library or a .def file.
function(kelvo_delay_import_library output input)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVO_DELAY_IMPORT_DIR}
    COMMAND python3 ${KELVO_DELAY_IMPORT_SCRIPT} ${CMAKE_DLLTOOL} ${CMAKE_NM}
            ${CMAKE_AR} ${input} ${output}
    DEPENDS ${KELVO_DELAY_IMPORT_SCRIPT} ${input}
    COMMENT "Making the delay-import library ${output}")
endfunction()

set(delay_import_libraries)
foreach(dll ${KELVO_DELAY_LOADED_DLLS})
  find_library(KELVO_IMPORT_LIBRARY_${dll} NAMES lib${dll}.a REQUIRED)
  set(library ${KELVO_DELAY_IMPORT_DIR}/lib${dll}.a)
  kelvo_delay_import_library(${library} ${KELVO_IMPORT_LIBRARY_${dll}})
  list(APPEND delay_import_libraries ${library})
endforeach()
add_custom_target(delay_import_libraries DEPENDS ${delay_import_libraries})
set(KELVO_DELAY_IMPORT_LIBRARIES ${delay_import_libraries})

# kelvo_delay_load(TARGET)
# Links TARGET, an executable or a DLL, with the system DLLs above
# delay-loaded. TARGET must link the installer's process library, which
# holds the failure hook.
function(kelvo_delay_load target)
  add_dependencies(${target} delay_import_libraries)
  target_link_directories(${target} BEFORE PRIVATE ${KELVO_DELAY_IMPORT_DIR})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
               ${KELVO_DELAY_IMPORT_LIBRARIES})
  # The hook must be the process library's, not the runtime's default: asked
  # for before any library is searched, it comes from the first that has it.
  target_link_options(${target} PRIVATE
                      -Wl,--undefined=__pfnDliFailureHook2)
  # GetTickCount64's import slot must be base's stand-in, which works before
  # Vista too (base/win/tick_count.h), never kernel32's.
  target_link_options(${target} PRIVATE
                      -Wl,--undefined=__imp_GetTickCount64)
endfunction()
