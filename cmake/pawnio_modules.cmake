# The two signed PawnIO modules embedded into kalorix.exe. KALORIX_PAWNIO_MODULES
# names a folder holding them under the names the PawnIO project publishes them
# with; without it the stand-ins of providers/res are embedded, which the
# program recognises and never hands to the driver, and scripts/release refuses
# such a build. Sets KALORIX_PAWNIO_RC (the generated resource script) and
# KALORIX_PAWNIO_PLACEHOLDER_RC (always the stand-ins, for test helpers).
set(KALORIX_PAWNIO_MODULES "" CACHE PATH
    "Folder with the signed PawnIO modules IntelMSR.bin and AMDFamily17.bin")

set(KALORIX_PAWNIO_MODULE_FILES IntelMSR.bin AMDFamily17.bin)
set(KALORIX_PAWNIO_STANDINS ${CMAKE_SOURCE_DIR}/providers/res/pawnio_intelmsr.bin
    ${CMAKE_SOURCE_DIR}/providers/res/pawnio_amdfamily17.bin)

function(kalorix_pawnio_rc output intel amd)
  set(KALORIX_PAWNIO_INTELMSR ${intel})
  set(KALORIX_PAWNIO_AMDFAMILY17 ${amd})
  configure_file(${CMAKE_SOURCE_DIR}/providers/pawnio.rc.in ${output} @ONLY)
  # windres does not report the files an RCDATA statement reads.
  set_source_files_properties(${output} PROPERTIES OBJECT_DEPENDS "${intel};${amd}")
endfunction()

if(KALORIX_PAWNIO_MODULES)
  set(modules)
  foreach(name ${KALORIX_PAWNIO_MODULE_FILES})
    set(file ${KALORIX_PAWNIO_MODULES}/${name})
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "KALORIX_PAWNIO_MODULES: ${file} is missing")
    endif()
    file(READ ${file} head LIMIT 20)
    if(head MATCHES "^KALORIX PLACEHOLDER")
      message(FATAL_ERROR "KALORIX_PAWNIO_MODULES: ${file} is a stand-in, not a signed module")
    endif()
    list(APPEND modules ${file})
  endforeach()
  message(STATUS "PawnIO modules: ${KALORIX_PAWNIO_MODULES}")
else()
  set(modules ${KALORIX_PAWNIO_STANDINS})
  message(WARNING "KALORIX_PAWNIO_MODULES is not set: the stand-in PawnIO modules are embedded. "
                  "This build reads no processor registers unless IntelMSR.bin / AMDFamily17.bin lie beside "
                  "kalorix.exe, and scripts/release refuses to package it.")
endif()

set(KALORIX_PAWNIO_RC ${CMAKE_BINARY_DIR}/pawnio.rc)
kalorix_pawnio_rc(${KALORIX_PAWNIO_RC} ${modules})
set(KALORIX_PAWNIO_PLACEHOLDER_RC ${CMAKE_BINARY_DIR}/pawnio_placeholders.rc)
kalorix_pawnio_rc(${KALORIX_PAWNIO_PLACEHOLDER_RC} ${KALORIX_PAWNIO_STANDINS})
