# Fills the project's version into resources/vantrix.rc.in, compiles it with
# llvm-rc and makes the VS_VERSIONINFO record available for embedding in a
# section of its own (.vantrix_version).
find_program(LLVM_RC NAMES llvm-rc llvm-rc-14 llvm-rc-15 REQUIRED)

set(VANTRIX_RC_FILE ${CMAKE_CURRENT_BINARY_DIR}/vantrix.rc)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/resources/vantrix.rc.in ${VANTRIX_RC_FILE} @ONLY)
set(VANTRIX_RES_FILE ${CMAKE_CURRENT_BINARY_DIR}/vantrix.res)
set(VANTRIX_VERSION_RECORD ${CMAKE_CURRENT_BINARY_DIR}/vantrix_version.bin)

add_custom_command(
  OUTPUT ${VANTRIX_RES_FILE}
  # "--" ends the options: llvm-rc also reads "/x" words as options, so an
  # absolute path such as /check/... would otherwise be taken for /C.
  COMMAND ${LLVM_RC} -no-preprocess -fo ${VANTRIX_RES_FILE} -- ${VANTRIX_RC_FILE}
  DEPENDS ${VANTRIX_RC_FILE}
  COMMENT "Compiling the version record")

add_custom_command(
  OUTPUT ${VANTRIX_VERSION_RECORD}
  COMMAND vantrix_resextract ${VANTRIX_RES_FILE} 16 ${VANTRIX_VERSION_RECORD}
  DEPENDS ${VANTRIX_RES_FILE} vantrix_resextract
  COMMENT "Extracting the VS_VERSIONINFO record")

add_custom_target(vantrix_version_record DEPENDS ${VANTRIX_VERSION_RECORD} ${VANTRIX_RES_FILE})

# Puts the record into the named section of an executable target.
function(vantrix_embed_version_record target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources/version_record.S)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/version_record.S PROPERTIES
    COMPILE_DEFINITIONS "VANTRIX_VERSION_RECORD_FILE=\"${VANTRIX_VERSION_RECORD}\""
    OBJECT_DEPENDS ${VANTRIX_VERSION_RECORD})
  add_dependencies(${target} vantrix_version_record)
endfunction()
