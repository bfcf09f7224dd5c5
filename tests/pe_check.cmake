# Reads a Windows program's PE headers and checks what its loader will do with it:
#   cmake -DPE_FILE=<program> -P pe_check.cmake
#
# - Every DLL in its import table and its delay-import table must be one of the system's known
#   DLLs, which the loader takes from the system folder only, or the common controls, which the
#   program's manifest redirects to the side-by-side assembly. Any other name would be looked for
#   in the program's folder first, where a planted DLL would run inside the program.
# - The image keeps its relocations and says it may be loaded at a random base (dynamic base;
#   high-entropy VA too on 64-bit) and that its data pages run no code (NX compatible).
# The file is read piece by piece at the offsets its headers give; a header that points outside
# the file, or that is not what a PE file holds, fails the check. Prints the imported DLLs.

cmake_minimum_required(VERSION 3.20)

if(NOT PE_FILE OR NOT EXISTS "${PE_FILE}")
  message(FATAL_ERROR "pe_check: no such file \"${PE_FILE}\"")
endif()

# The system's known DLLs (the KnownDLLs list of current Windows), lower case.
set(known_dlls
  advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll gdi32.dll gdiplus.dll
  imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll
  oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
  user32.dll wldap32.dll wintrust.dll ws2_32.dll ntdll.dll)
set(allowed_dlls ${known_dlls} comctl32.dll)

file(SIZE "${PE_FILE}" file_size)

# The little-endian unsigned number of `size` bytes at `offset`.
function(pe_read out offset size)
  math(EXPR offset "${offset}")
  math(EXPR end "${offset} + ${size}")
  if(offset LESS 0 OR end GREATER file_size)
    message(FATAL_ERROR "pe_check: ${PE_FILE}: a header points outside the file (offset ${offset})")
  endif()
  file(READ "${PE_FILE}" hex OFFSET ${offset} LIMIT ${size} HEX)
  set(value "")
  string(LENGTH "${hex}" length)
  while(length GREATER 0)
    math(EXPR length "${length} - 2")
    string(SUBSTRING "${hex}" ${length} 2 byte)
    string(APPEND value "${byte}")
  endwhile()
  math(EXPR value "0x${value}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# The file offset of a relative virtual address, through the section table.
function(pe_offset out rva)
  foreach(i RANGE 1 ${section_count})
    math(EXPR at "${section_table} + (${i} - 1) * 40")
    pe_read(virtual_size "${at} + 8" 4)
    pe_read(virtual_address "${at} + 12" 4)
    pe_read(raw_size "${at} + 16" 4)
    pe_read(raw_offset "${at} + 20" 4)
    if(virtual_size LESS raw_size)
      set(virtual_size ${raw_size})
    endif()
    math(EXPR section_end "${virtual_address} + ${virtual_size}")
    if(NOT rva LESS virtual_address AND rva LESS section_end)
      math(EXPR offset "${raw_offset} + ${rva} - ${virtual_address}")
      set(${out} ${offset} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "pe_check: ${PE_FILE}: address ${rva} lies in no section")
endfunction()

# The NUL-ended ASCII name at a relative virtual address, in lower case.
function(pe_name out rva)
  pe_offset(offset ${rva})
  set(name "")
  foreach(n RANGE 1 255)
    pe_read(code ${offset} 1)
    if(code EQUAL 0)
      string(TOLOWER "${name}" name)
      set(${out} "${name}" PARENT_SCOPE)
      return()
    endif()
    if(code LESS 32 OR code GREATER 126)
      message(FATAL_ERROR "pe_check: ${PE_FILE}: a DLL name holds the byte ${code}")
    endif()
    string(ASCII ${code} letter)
    string(APPEND name "${letter}")
    math(EXPR offset "${offset} + 1")
  endforeach()
  message(FATAL_ERROR "pe_check: ${PE_FILE}: a DLL name does not end")
endfunction()

pe_read(mz 0 2)
if(NOT mz EQUAL 23117)  # "MZ"
  message(FATAL_ERROR "pe_check: ${PE_FILE} is no Windows program")
endif()
pe_read(pe_at 60 4)
pe_read(signature ${pe_at} 4)
if(NOT signature EQUAL 17744)  # "PE\0\0"
  message(FATAL_ERROR "pe_check: ${PE_FILE} has no PE header")
endif()
math(EXPR coff "${pe_at} + 4")
pe_read(section_count "${coff} + 2" 2)
pe_read(optional_size "${coff} + 16" 2)
pe_read(image_flags "${coff} + 18" 2)
math(EXPR optional "${coff} + 20")
math(EXPR section_table "${optional} + ${optional_size}")
pe_read(magic ${optional} 2)
if(magic EQUAL 267)       # 0x10b, 32-bit
  set(wide FALSE)
  math(EXPR directories "${optional} + 96")
elseif(magic EQUAL 523)   # 0x20b, 64-bit
  set(wide TRUE)
  math(EXPR directories "${optional} + 112")
else()
  message(FATAL_ERROR "pe_check: ${PE_FILE}: unknown optional header ${magic}")
endif()
pe_read(dll_flags "${optional} + 70" 2)
math(EXPR directory_count_at "${directories} - 4")
pe_read(directory_count ${directory_count_at} 4)

# The address and size of data directory `index`, or 0 0 when the header has none.
function(pe_directory address_out size_out index)
  if(index LESS directory_count)
    pe_read(address "${directories} + ${index} * 8" 4)
    pe_read(size "${directories} + ${index} * 8 + 4" 4)
  else()
    set(address 0)
    set(size 0)
  endif()
  set(${address_out} ${address} PARENT_SCOPE)
  set(${size_out} ${size} PARENT_SCOPE)
endfunction()

set(faults "")

# ASLR and DEP.
set(flag_names "dynamic base" "NX compatible")
set(flag_bits 64 256)
if(wide)
  list(APPEND flag_names "high-entropy VA")
  list(APPEND flag_bits 32)
endif()
foreach(name bit IN ZIP_LISTS flag_names flag_bits)
  math(EXPR set "${dll_flags} & ${bit}")
  if(set EQUAL 0)
    list(APPEND faults "not ${name}")
  endif()
endforeach()
math(EXPR stripped "${image_flags} & 1")
pe_directory(reloc_address reloc_size 5)
if(NOT stripped EQUAL 0 OR reloc_size EQUAL 0)
  list(APPEND faults "no relocations: the dynamic base cannot be used")
endif()

# The import table: 20-byte descriptors, the name's address at +12, ended by an empty one. The
# delay-import table: 32-byte descriptors, the name's address at +4.
set(imported "")
foreach(table IN ITEMS import delay)
  if(table STREQUAL import)
    pe_directory(address size 1)
    set(step 20)
    set(name_at 12)
  else()
    pe_directory(address size 13)
    set(step 32)
    set(name_at 4)
  endif()
  if(address EQUAL 0)
    continue()
  endif()
  pe_offset(at ${address})
  foreach(n RANGE 1 256)
    pe_read(name_rva "${at} + ${name_at}" 4)
    if(name_rva EQUAL 0)
      break()
    endif()
    pe_name(dll ${name_rva})
    list(APPEND imported "${dll}")
    if(NOT dll IN_LIST allowed_dlls)
      list(APPEND faults "imports ${dll}, which is no known DLL and would be looked for beside the program")
    endif()
    math(EXPR at "${at} + ${step}")
  endforeach()
endforeach()

list(JOIN imported " " imported_text)
message("${PE_FILE}: imports ${imported_text}")
if(faults)
  # One line per fault, as it is (an error message would be wrapped where a long path ends).
  foreach(fault IN LISTS faults)
    message("${PE_FILE}: ${fault}")
  endforeach()
  message(FATAL_ERROR "pe_check: ${PE_FILE} fails the check")
endif()
list(JOIN flag_names ", " flag_text)
message("${PE_FILE}: ${flag_text}, relocations kept; every imported DLL a known one")
