# Embeds npn5/image.bin into vexil_core through an assembler .incbin, so that no
# generated source is needed; a new image rebuilds the object that holds it.
set(VEXIL_NPN5_IMAGE ${CMAKE_CURRENT_LIST_DIR}/image.bin)
if(NOT EXISTS ${VEXIL_NPN5_IMAGE})
  message(FATAL_ERROR "npn5/image.bin is missing: the five-input circuit database must be present to build "
                      "vexil (it is produced by tools/npn5gen and committed beside this file).")
endif()
set(VEXIL_NPN5_BLOB ${CMAKE_CURRENT_LIST_DIR}/image_blob.S)
target_sources(vexil_core PRIVATE ${VEXIL_NPN5_BLOB})
set_source_files_properties(${VEXIL_NPN5_BLOB} PROPERTIES
  COMPILE_DEFINITIONS "VEXIL_NPN5_IMAGE_FILE=\"${VEXIL_NPN5_IMAGE}\""
  OBJECT_DEPENDS ${VEXIL_NPN5_IMAGE})
