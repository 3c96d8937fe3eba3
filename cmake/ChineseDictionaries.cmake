# OpenCC's dictionaries built into the engine, the same table on every platform: Debian's
# libopencc-data holds them as .ocd2 tries, which Debian's opencc_dict writes out as OpenCC's text
# form ("key<TAB>value[ value…]" a line); each becomes one string of a generated source file.
#   tolvren_add_chinese_dictionaries(TARGET NAME...)    in a CMakeLists.txt
#   cmake -DOPENCC_DICT=… -DDATA=… -DWORK=… -DOUTPUT=… -DNAMES=A,B… -P ChineseDictionaries.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  set(source "// Written by the build from OpenCC's dictionaries in ${DATA}; do not edit.\n\n")
  string(APPEND source "#include \"conversion/ChineseDictionaries.h\"\n\nnamespace tolvren {\n\n")
  string(APPEND source "std::string_view ChineseDictionaryText(std::string_view name) {\n")
  string(REPLACE "," ";" NAMES "${NAMES}")
  foreach(name IN LISTS NAMES)
    set(text ${WORK}/${name}.txt)
    execute_process(COMMAND ${OPENCC_DICT} -i ${DATA}/${name}.ocd2 -o ${text} -f ocd2 -t text
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${OPENCC_DICT} could not write out ${DATA}/${name}.ocd2")
    endif()
    file(READ ${text} content)
    string(FIND "${content}" ")opencc\"" clash)
    if(NOT clash EQUAL -1)
      message(FATAL_ERROR "${name} holds the text that would end its string early")
    endif()
    string(LENGTH "${content}" length)
    string(APPEND source "    if (name == \"${name}\") {\n"
      "        return {R\"opencc(${content})opencc\", ${length}};\n    }\n")
  endforeach()
  string(APPEND source "    return {};\n}\n\n} // namespace tolvren\n")
  file(WRITE ${OUTPUT}.tmp "${source}")
  file(RENAME ${OUTPUT}.tmp ${OUTPUT})
  return()
endif()

set(TOLVREN_OPENCC_DATA /usr/share/opencc CACHE PATH "Where OpenCC's .ocd2 dictionaries are")
# A program of the build machine, also when cross-building.
find_program(TOLVREN_OPENCC_DICT opencc_dict NO_CMAKE_FIND_ROOT_PATH)
if(NOT TOLVREN_OPENCC_DICT OR NOT EXISTS ${TOLVREN_OPENCC_DATA}/STPhrases.ocd2)
  message(FATAL_ERROR "OpenCC's opencc_dict or its dictionaries in ${TOLVREN_OPENCC_DATA} are "
    "missing: scripts/setup.sh installs Debian's opencc and libopencc-data")
endif()
set(_tolvren_chinese_script ${CMAKE_CURRENT_LIST_FILE})

function(tolvren_add_chinese_dictionaries target)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/ChineseDictionaries.cpp)
  set(dictionaries ${ARGN})
  list(TRANSFORM dictionaries PREPEND ${TOLVREN_OPENCC_DATA}/)
  list(TRANSFORM dictionaries APPEND .ocd2)
  list(JOIN ARGN "," names)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOPENCC_DICT=${TOLVREN_OPENCC_DICT} -DDATA=${TOLVREN_OPENCC_DATA}
      -DWORK=${CMAKE_CURRENT_BINARY_DIR} -DOUTPUT=${output} -DNAMES=${names}
      -P ${_tolvren_chinese_script}
    DEPENDS ${_tolvren_chinese_script} ${dictionaries}
    COMMENT "Building OpenCC's dictionaries into the engine"
    VERBATIM)
  # The rule belongs to this folder, the target may be another's.
  add_custom_target(${target}_chinese_dictionaries DEPENDS ${output})
  add_dependencies(${target} ${target}_chinese_dictionaries)
  target_sources(${target} PRIVATE ${output})
  # One string per dictionary, longer than the least a compiler must take; GCC takes any length.
  set_source_files_properties(${output} PROPERTIES COMPILE_OPTIONS -Wno-overlength-strings)
endfunction()
