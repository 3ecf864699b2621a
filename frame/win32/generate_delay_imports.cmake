# Writes the delay-import table of NOVRT.dll as a GAS source, from the list of services.
#   cmake -DSERVICES=novrt_services.txt -DOUTPUT=novrt_delay_imports.S -P generate_delay_imports.cmake
# With -DFORWARDER_DEF=<file.def> instead of OUTPUT it writes the module definition of a
# NOVRT.dll that forwards every listed service to kernel32 (the test double).
#
# Each line of the list is "Name@N" (stdcall, N argument bytes); '#' starts a comment. For every
# service the table holds a hint/name entry, an import slot "__imp__Name@N" that first points at
# the service's load thunk, and a direct-call thunk "_Name@N". Defining the "__imp__" symbols in
# the plug-in's own image makes every runtime piece that names them take the service from
# NOVRT.dll rather than from the system's import library.

cmake_minimum_required(VERSION 3.25)

if(NOT SERVICES OR (NOT OUTPUT AND NOT FORWARDER_DEF))
  message(FATAL_ERROR "usage: cmake -DSERVICES=<list> -DOUTPUT=<file.S> | -DFORWARDER_DEF=<file.def> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

file(STRINGS "${SERVICES}" lines)
set(services)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "#.*$" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "")
    continue()
  endif()
  if(NOT line MATCHES "^[A-Za-z_][A-Za-z0-9_]*@[0-9]+$")
    message(FATAL_ERROR "${SERVICES}: not a service \"Name@N\": ${line}")
  endif()
  if(line IN_LIST services)
    message(FATAL_ERROR "${SERVICES}: listed twice: ${line}")
  endif()
  list(APPEND services "${line}")
endforeach()
list(LENGTH services count)
if(count EQUAL 0)
  message(FATAL_ERROR "${SERVICES}: no services")
endif()

if(FORWARDER_DEF)
  set(def "; Generated from ${SERVICES} by generate_delay_imports.cmake: do not edit.\nLIBRARY NOVRT.dll\nEXPORTS\n")
  foreach(service IN LISTS services)
    string(REGEX REPLACE "@[0-9]+$" "" name "${service}")
    string(APPEND def "  ${name} = kernel32.${name}\n")
  endforeach()
  file(WRITE "${FORWARDER_DEF}.tmp" "${def}")
  file(RENAME "${FORWARDER_DEF}.tmp" "${FORWARDER_DEF}")
  return()
endif()

set(names "")
set(int "")
set(iat "")
set(thunks "")
set(index 0)
foreach(service IN LISTS services)
  string(REGEX REPLACE "@[0-9]+$" "" name "${service}")
  string(APPEND int "        .rva novrt_name${index}\n")
  string(APPEND names "        .balign 2\nnovrt_name${index}:\n        .short 0\n        .asciz \"${name}\"\n")
  string(APPEND iat "        .globl \"__imp__${service}\"\n\"__imp__${service}\":\n        .long novrt_load${index}\n")
  string(APPEND thunks
    "        .globl \"_${service}\"\n"
    "\"_${service}\":\n"
    "        jmp *\"__imp__${service}\"\n"
    "novrt_load${index}:\n"
    "        pushl %ecx\n"
    "        pushl %edx\n"
    "        pushl $\"__imp__${service}\"\n"
    "        jmp novrt_tail\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp"
"# Generated from ${SERVICES} by generate_delay_imports.cmake: do not edit.
# Delay-import table of NOVRT.dll: ${count} services, bound at their first call through
# ___delayLoadHelper2@8, which consults the delay-load notification hook.

# The descriptor (ImgDelayDescr), RVA-based, without unloading support.
        .section .rdata,\"dr\"
        .balign 4
novrt_descriptor:
        .long 1                       # grAttrs: every field below is an RVA
        .rva novrt_library            # rvaDLLName
        .rva novrt_module             # rvaHmod: the module handle, once known
        .rva novrt_iat                # rvaIAT
        .rva novrt_int                # rvaINT
        .long 0                       # rvaBoundIAT: none
        .long 0                       # rvaUnloadIAT: none, the library is never unloaded
        .long 0                       # dwTimeStamp: not bound
novrt_library:
        .asciz \"NOVRT.dll\"

# Import name table: one hint/name entry per service, in slot order.
        .balign 4
novrt_int:
${int}        .long 0
${names}
# Import slots: each starts at its service's load thunk and holds the service once bound.
        .data
        .balign 4
novrt_module:
        .long 0
novrt_iat:
${iat}        .long 0

        .text
${thunks}
# Shared tail: the slot address is on the stack above the caller's ecx and edx, which the
# helper may change. The helper binds the slot and answers the service, which gets the call
# exactly as the caller made it.
novrt_tail:
        pushl $novrt_descriptor
        call \"___delayLoadHelper2@8\"
        popl %edx
        popl %ecx
        jmp *%eax
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
