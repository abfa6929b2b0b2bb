# Builds the Windows Installer package of one architecture from an install
# tree, with wixl (msitools):
#
#   cmake -DSTAGE=<install tree> -DARCH=<x86|x64> -DVERSION=<a.b.c>
#         -DOUTPUT=<file.msi> -P cmake/Msi.cmake
#
# Per user: the files go to %LOCALAPPDATA%\Programs\Tickward, no
# administrator rights needed (the mailbox, the start records and the
# journal are per user too). One UpgradeCode for every version and both
# architectures: installing a newer package replaces the one installed (the
# old one is removed first), and the same version again repairs it; the
# other architecture's is refused while one is installed. An uninstall runs
# "twsched cleanup" first: the tasks twsched created and the start records
# go (not with KEEPTASKS=1), the journal too with REMOVEJOURNAL=1.
#
# The same tree gives the same bytes: every code is derived from the
# version, the architecture and the files' contents, the files' times and
# the package's own are SOURCE_DATE_EPOCH's (else the last commit's).
cmake_minimum_required(VERSION 3.20)
foreach(var STAGE ARCH VERSION OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "Msi.cmake: ${var} is not given")
    endif()
endforeach()
find_program(WIXL wixl REQUIRED)
find_program(MSIDUMP msidump REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "${CMAKE_CURRENT_LIST_DIR}"
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result ERROR_QUIET)
    if(NOT result EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
        set(epoch 1767225600)   # 2026-01-01 00:00 UTC
    endif()
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()

# Name-based codes in a namespace of Tickward's own.
set(namespace 5d6c0a5e-3b7f-4c1e-9a55-7469636b7761)
set(upgrade_code 4B1E6F0A-58C2-4E0B-9D0E-54494B574152)
function(code out name)
    string(UUID id NAMESPACE ${namespace} NAME "${name}" TYPE SHA1 UPPER)
    set(${out} ${id} PARENT_SCOPE)
endfunction()
function(xml_escape out text)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    string(REPLACE "\"" "&quot;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(ARCH STREQUAL x64)
    set(win64 yes)
    set(bits 64-bit)
    set(other_bits 32-bit)
else()
    set(win64 no)
    set(bits 32-bit)
    set(other_bits 64-bit)
endif()
code(product_code "product ${VERSION} ${ARCH}")

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${STAGE}" "${STAGE}/*")
list(SORT files)
set(folders ".")
set(contents "${VERSION} ${ARCH}")
set(bytes 0)
foreach(file ${files})
    get_filename_component(folder "${file}" DIRECTORY)
    while(folder)
        list(APPEND folders "${folder}")
        get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
    file(SHA256 "${STAGE}/${file}" hash)
    file(SIZE "${STAGE}/${file}" size)
    math(EXPR bytes "${bytes} + ${size}")
    string(APPEND contents " ${file} ${hash}")
    # The cabinet records each file's time.
    execute_process(COMMAND touch -d "@$ENV{SOURCE_DATE_EPOCH}" "${STAGE}/${file}")
endforeach()
# The installed-programs list shows this size, in KiB.
math(EXPR kib "(${bytes} + 1023) / 1024")
list(REMOVE_DUPLICATES folders)
list(SORT folders)

# One component per folder, its key a per-user registry value, as Windows
# Installer wants of files under a user's profile.
function(folder_id out folder)
    string(SHA1 id "${folder}")
    string(SUBSTRING ${id} 0 16 id)
    set(${out} "D${id}" PARENT_SCOPE)
endfunction()
# The folder a path lies in, "." for the top.
function(parent_of out path)
    get_filename_component(parent "${path}" DIRECTORY)
    if(NOT parent)
        set(parent ".")
    endif()
    set(${out} "${parent}" PARENT_SCOPE)
endfunction()
function(write_folder folder indent)
    folder_id(id "${folder}")
    get_filename_component(name "${folder}" NAME)
    if(folder STREQUAL ".")
        set(open "<DirectoryRef Id=\"INSTALLDIR\">")
        set(close "</DirectoryRef>")
        set(id INSTALLDIR)
    else()
        xml_escape(name "${name}")
        set(open "<Directory Id=\"${id}\" Name=\"${name}\">")
        set(close "</Directory>")
    endif()
    code(guid "component ${ARCH} ${folder}")
    set(text "${indent}${open}\n")
    string(APPEND text "${indent}  <Component Id=\"C${id}\" Guid=\"${guid}\" Win64=\"${win64}\">\n")
    xml_escape(key_name "${folder}")
    string(APPEND text "${indent}    <RegistryValue Root=\"HKCU\" Key=\"Software\\Tickward\\Installed\" Name=\"${key_name}\" Type=\"integer\" Value=\"1\" KeyPath=\"yes\"/>\n")
    if(folder STREQUAL ".")
        string(APPEND text "${indent}    <RegistryValue Root=\"HKCU\" Key=\"Software\\Tickward\\Installed\" Name=\"Architecture\" Type=\"string\" Value=\"${ARCH}\"/>\n")
    endif()
    string(APPEND text "${indent}    <RemoveFolder Id=\"R${id}\" On=\"uninstall\"/>\n")
    foreach(file ${files})
        parent_of(file_folder "${file}")
        if(file_folder STREQUAL folder)
            get_filename_component(file_name "${file}" NAME)
            string(SHA1 file_id "${file}")
            string(SUBSTRING ${file_id} 0 16 file_id)
            if(file STREQUAL "twsched.exe")
                set(file_id TWSCHED)
            else()
                set(file_id "F${file_id}")
            endif()
            xml_escape(file_name "${file_name}")
            xml_escape(source "${file}")
            string(APPEND text "${indent}    <File Id=\"${file_id}\" Name=\"${file_name}\" Source=\"${source}\"/>\n")
        endif()
    endforeach()
    string(APPEND text "${indent}  </Component>\n")
    foreach(child ${folders})
        parent_of(parent "${child}")
        if(NOT child STREQUAL "." AND parent STREQUAL folder)
            write_folder("${child}" "${indent}  ")
            string(APPEND text "${folder_text}")
        endif()
    endforeach()
    string(APPEND text "${indent}${close}\n")
    set(folder_text "${text}" PARENT_SCOPE)
endfunction()
write_folder("." "    ")
set(component_refs "")
foreach(folder ${folders})
    folder_id(id "${folder}")
    if(folder STREQUAL ".")
        set(id INSTALLDIR)
    endif()
    string(APPEND component_refs "      <ComponentRef Id=\"C${id}\"/>\n")
endforeach()

configure_file("${CMAKE_CURRENT_LIST_DIR}/tickward.wxs.in" "${OUTPUT}.wxs" @ONLY)
# wixl takes the sources relative to the folder it runs in.
execute_process(COMMAND "${WIXL}" -a ${ARCH} -o "${OUTPUT}" "${OUTPUT}.wxs" WORKING_DIRECTORY "${STAGE}"
    COMMAND_ERROR_IS_FATAL ANY)

# wixl gives every package a new revision code and the time it was built:
# both come from the contents and SOURCE_DATE_EPOCH instead.
file(READ "${OUTPUT}.wxs" wxs)
code(package_code "package ${contents} ${wxs}")
string(TIMESTAMP built "%Y/%m/%d %H:%M:%S" UTC)
set(dump "${OUTPUT}.idt")
file(REMOVE_RECURSE "${dump}")
file(MAKE_DIRECTORY "${dump}")
execute_process(COMMAND "${MSIDUMP}" -t -d "${dump}" "${OUTPUT}" OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(READ "${dump}/_SummaryInformation.idt" summary)
string(REGEX REPLACE "\n9\t[^\n]*" "\n9\t{${package_code}}" summary "${summary}")
string(REGEX REPLACE "\n12\t[^\n]*" "\n12\t${built}" summary "${summary}")
string(REGEX REPLACE "\n13\t[^\n]*" "\n13\t${built}" summary "${summary}")
file(WRITE "${dump}/_SummaryInformation.idt" "${summary}")
execute_process(COMMAND "${MSIBUILD}" "${OUTPUT}" -i "${dump}/_SummaryInformation.idt" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${dump}" "${OUTPUT}.wxs")
