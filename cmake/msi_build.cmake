# Run at build time (cmake -P) by cmake/installer.cmake: lists the files of
# the program's Graphics folder for the package, so a new image goes into it
# without an edit of Wemlox.wxs, and runs wixl.
#   -DWIXL=<wixl> -DWXS=<Wemlox.wxs> -DPROGRAM_DIR=<folder of Wemlox.exe>
#   -DEXE_NAME=Wemlox.exe -DICON=<wemlox.ico> -DOUTPUT=<package.msi>
#   -DPRODUCT_VERSION=<MSI version> -DPROGRAM_VERSION=<program version>
#   -DUPGRADE_CODE=<GUID>
cmake_minimum_required(VERSION 3.20)

# Text for an XML attribute that wixl's preprocessor also reads ('$' starts
# a variable there).
function(attribute_text value out)
  string(REPLACE "&" "&amp;" value "${value}")
  string(REPLACE "<" "&lt;" value "${value}")
  string(REPLACE "\"" "&quot;" value "${value}")
  string(REPLACE "$" "$$" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

set(graphics_dir "${PROGRAM_DIR}/Graphics")
# The program reads only the files there, not folders below.
file(GLOB images LIST_DIRECTORIES false RELATIVE "${graphics_dir}" "${graphics_dir}/*")
list(SORT images)
set(text "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Include>\n")
set(ids "")
foreach(name IN LISTS images)
  # File ids are identifiers: letters, digits, '_' and '.'.
  string(MAKE_C_IDENTIFIER "${name}" id)
  set(id "Graphics_${id}")
  if(id IN_LIST ids)
    message(FATAL_ERROR "msi_build: two images give the file id ${id}")
  endif()
  list(APPEND ids ${id})
  attribute_text("${name}" xml_name)
  set(text "${text}  <File Id=\"${id}\" Name=\"${xml_name}\" Source=\"Graphics/${xml_name}\"/>\n")
endforeach()
if(NOT ids)
  message(FATAL_ERROR "msi_build: no images in ${graphics_dir}")
endif()
set(graphics_list "${OUTPUT}.graphics.wxi")
file(WRITE "${graphics_list}" "${text}</Include>\n")

# Paths relative to the working folder: wixl takes no absolute ones.
file(RELATIVE_PATH icon "${PROGRAM_DIR}" "${ICON}")
file(RELATIVE_PATH graphics_include "${PROGRAM_DIR}" "${graphics_list}")
execute_process(
  COMMAND "${WIXL}" --arch x64 -o "${OUTPUT}"
          -D "ProductVersion=${PRODUCT_VERSION}" -D "ProgramVersion=${PROGRAM_VERSION}"
          -D "UpgradeCode=${UPGRADE_CODE}" -D "ExeFile=${EXE_NAME}" -D "IconFile=${icon}"
          -D "GraphicsFiles=${graphics_include}" "${WXS}"
  WORKING_DIRECTORY "${PROGRAM_DIR}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
# wixl reports every plain (not advertised) shortcut as unimplemented, yet
# writes it as asked; everything else it says is shown.
string(REGEX REPLACE "[^\n]*builder.vala:[0-9]+: unimplemented\n?" "" output "${output}")
if(output)
  message("${output}")
endif()
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "msi_build: wixl failed (${result})")
endif()
