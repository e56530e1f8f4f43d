# Makes the Windows download: one zip with Korvel.exe and korvel-cli.exe (static, stripped), the
# README and the docs/ pages as Windows text, the JSON Schemas of korvel-cli and the licence, all
# in one folder named after the zip.
#
# cmake -DKORVEL_EXE=... -DKORVEL_CLI_EXE=... -DSOURCE_DIR=... -DSTRIP=... -DZIP=.../name.zip
#       -P KorvelWindowsZip.cmake
foreach(variable KORVEL_EXE KORVEL_CLI_EXE SOURCE_DIR ZIP)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "KorvelWindowsZip.cmake needs -D${variable}=...")
  endif()
endforeach()

get_filename_component(name "${ZIP}" NAME_WLE)
get_filename_component(out_dir "${ZIP}" DIRECTORY)
set(stage "${out_dir}/zip-stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}/${name}")

file(COPY "${KORVEL_EXE}" "${KORVEL_CLI_EXE}" DESTINATION "${stage}/${name}")
if(STRIP)
  foreach(exe "${KORVEL_EXE}" "${KORVEL_CLI_EXE}")
    get_filename_component(exe_name "${exe}" NAME)
    execute_process(COMMAND "${STRIP}" "${stage}/${name}/${exe_name}" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()

# Notepad of older Windows shows LF-only text as one line.
function(windows_text source target)
  file(READ "${source}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${target}" "${text}")
endfunction()
windows_text("${SOURCE_DIR}/README.md" "${stage}/${name}/README.txt")
# The README links into docs/, and the command-line page to the schemas in data/: the zip keeps
# those paths, so that the links lead to files of the zip.
file(GLOB pages "${SOURCE_DIR}/docs/*.md")
foreach(page IN LISTS pages)
  get_filename_component(page_name "${page}" NAME)
  windows_text("${page}" "${stage}/${name}/docs/${page_name}")
endforeach()
file(COPY "${SOURCE_DIR}/docs/screenshots" DESTINATION "${stage}/${name}/docs")
file(GLOB schemas "${SOURCE_DIR}/data/*.schema.json")
file(COPY ${schemas} DESTINATION "${stage}/${name}/data")
foreach(licence LICENSE LICENSE.txt COPYING)
  if(EXISTS "${SOURCE_DIR}/${licence}")
    windows_text("${SOURCE_DIR}/${licence}" "${stage}/${name}/LICENSE.txt")
    break()
  endif()
endforeach()

file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${name}"
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${stage}")
