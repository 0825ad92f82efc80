# kw_embed_version(target)
# Gives an executable the standard version resource (VS_VERSIONINFO) built
# from the project version: on Windows through a generated .rc file, elsewhere
# as the same binary block in the ELF section ".kwversion", added after linking.
include_guard(GLOBAL)

function(kw_embed_version target)
  set(v1 ${PROJECT_VERSION_MAJOR})
  set(v2 ${PROJECT_VERSION_MINOR})
  set(v3 ${PROJECT_VERSION_PATCH})
  set(v4 ${PROJECT_VERSION_TWEAK})
  foreach(part v1 v2 v3 v4)
    if("${${part}}" STREQUAL "")
      set(${part} 0)
    endif()
  endforeach()
  set(KW_FILE_VERSION "${v1}.${v2}.${v3}.${v4}")
  set(KW_PRODUCT_VERSION "${v1}.${v2}")
  get_target_property(KW_OUTPUT_NAME ${target} OUTPUT_NAME)
  if(NOT KW_OUTPUT_NAME)
    set(KW_OUTPUT_NAME ${target})
  endif()
  set(KW_COMPANY "Quillfen")
  set(KW_DESCRIPTION "Kitwarden ALSE shop management")
  set(KW_COPYRIGHT "Copyright (C) Quillfen")
  set(KW_PRODUCT "Kitwarden")

  if(WIN32)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    file(CONFIGURE OUTPUT ${rc} @ONLY CONTENT [[
#include <winver.h>
VS_VERSION_INFO VERSIONINFO
 FILEVERSION @v1@,@v2@,@v3@,@v4@
 PRODUCTVERSION @v1@,@v2@,@v3@,@v4@
 FILEFLAGSMASK 0x3fL
 FILEFLAGS 0x0L
 FILEOS VOS_NT_WINDOWS32
 FILETYPE VFT_APP
 FILESUBTYPE 0x0L
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904E4"
    BEGIN
      VALUE "CompanyName", "@KW_COMPANY@\0"
      VALUE "FileDescription", "@KW_DESCRIPTION@\0"
      VALUE "FileVersion", "@KW_FILE_VERSION@\0"
      VALUE "InternalName", "@KW_OUTPUT_NAME@\0"
      VALUE "LegalCopyright", "@KW_COPYRIGHT@\0"
      VALUE "OriginalFilename", "@KW_OUTPUT_NAME@.exe\0"
      VALUE "ProductName", "@KW_PRODUCT@\0"
      VALUE "ProductVersion", "@KW_PRODUCT_VERSION@\0"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1252
  END
END
]])
    target_sources(${target} PRIVATE ${rc})
    return()
  endif()

  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "kw_embed_version: objcopy is needed to embed the version block")
  endif()
  if(NOT TARGET kw_mkversion)
    add_executable(kw_mkversion ${PROJECT_SOURCE_DIR}/update/tools/mkversion.cpp
                                ${PROJECT_SOURCE_DIR}/update/versionblock.cpp)
    target_include_directories(kw_mkversion PRIVATE ${PROJECT_SOURCE_DIR})
    set_target_properties(kw_mkversion PROPERTIES AUTOMOC OFF)
  endif()
  set(block ${CMAKE_CURRENT_BINARY_DIR}/${target}.kwversion)
  add_dependencies(${target} kw_mkversion)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND kw_mkversion ${block} ${KW_FILE_VERSION}
            "CompanyName=${KW_COMPANY}" "FileDescription=${KW_DESCRIPTION}"
            "FileVersion=${KW_FILE_VERSION}" "InternalName=${KW_OUTPUT_NAME}"
            "LegalCopyright=${KW_COPYRIGHT}" "OriginalFilename=${KW_OUTPUT_NAME}"
            "ProductName=${KW_PRODUCT}" "ProductVersion=${KW_PRODUCT_VERSION}"
    COMMAND ${CMAKE_OBJCOPY} --remove-section=.kwversion --add-section .kwversion=${block}
            --set-section-flags .kwversion=noload,readonly $<TARGET_FILE:${target}>
    COMMENT "Embedding version ${KW_FILE_VERSION} into ${target}"
    VERBATIM)
endfunction()
