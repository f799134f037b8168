# cmake -DREADELF=... -DLIBRARY=... -DPUBLIC_NODE=... -DPRIVATE_NODE=...
#       -DHEADERS=<public headers, comma-separated> -P CheckPublicAbi.cmake
#
# Fails unless the public version node of the library holds the public API
# and nothing else. The public API is read from the headers that applications
# include, independently of the version script that sorts the symbols:
#   - every symbol under the public node names only types and functions that
#     those headers define, so no internal class reaches it through a pattern
#     that is too wide;
#   - every class and function that they declare ZETO_EXPORT has symbols under
#     the public node and none under the private one.

cmake_minimum_required(VERSION 3.16)

set(identifier "[A-Za-z_][A-Za-z0-9_]*")

function(read_public_api headers)
    set(types "")
    set(exported "")
    foreach(header IN LISTS headers)
        file(READ ${header} text)
        # Definitions, not forward declarations: the name is followed by a
        # base list, a body or a line break.
        string(REGEX MATCHALL "(class|struct|union|enum)[ \t]+(ZETO_EXPORT[ \t]+)?${identifier}[ \t]*(final[ \t]*)?[:{\n]"
            definitions "${text}")
        foreach(definition IN LISTS definitions)
            string(REGEX REPLACE "^(class|struct|union|enum)[ \t]+(ZETO_EXPORT[ \t]+)?(${identifier}).*" "\\3" name "${definition}")
            list(APPEND types ${name})
            if(definition MATCHES "ZETO_EXPORT")
                list(APPEND exported ${name})
            endif()
        endforeach()
        string(REGEX MATCHALL "ZETO_EXPORT[^;(\n]*[ *&]${identifier}\\(" functions "${text}")
        foreach(function IN LISTS functions)
            string(REGEX REPLACE ".*[ *&](${identifier})\\($" "\\1" name "${function}")
            list(APPEND exported ${name})
        endforeach()
    endforeach()
    list(APPEND types ${exported})
    list(REMOVE_DUPLICATES types)
    list(REMOVE_DUPLICATES exported)
    set(public_types ${types} PARENT_SCOPE)
    set(public_exports ${exported} PARENT_SCOPE)
endfunction()

# Defined dynamic symbols, demangled, as "name@@node" lines.
function(read_versioned_symbols library)
    execute_process(COMMAND ${READELF} --dyn-syms --wide --demangle ${library}
        OUTPUT_VARIABLE table RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${READELF} could not read ${library}")
    endif()
    string(REGEX MATCHALL "[^\n]+" lines "${table}")
    set(public "")
    set(private "")
    set(unversioned "")
    foreach(line IN LISTS lines)
        # Num: Value Size Type Bind Vis Ndx Name; a numeric Ndx is defined.
        if(NOT line MATCHES "^ *[0-9]+: [0-9a-f]+ +[0-9]+ [A-Z_]+ +[A-Z_]+ +[A-Z_]+ +[0-9]+ (.+)$")
            continue()
        endif()
        set(symbol "${CMAKE_MATCH_1}")
        if(NOT symbol MATCHES "^([^@]+)@@?(.+)$")
            list(APPEND unversioned "${symbol}")
        elseif(CMAKE_MATCH_2 STREQUAL PUBLIC_NODE)
            list(APPEND public "${CMAKE_MATCH_1}")
        elseif(CMAKE_MATCH_2 STREQUAL PRIVATE_NODE)
            list(APPEND private "${CMAKE_MATCH_1}")
        else()
            list(APPEND unversioned "${symbol}")
        endif()
    endforeach()
    set(public_symbols "${public}" PARENT_SCOPE)
    set(private_symbols "${private}" PARENT_SCOPE)
    set(unversioned_symbols "${unversioned}" PARENT_SCOPE)
endfunction()

string(REPLACE "," ";" headers "${HEADERS}")
read_public_api("${headers}")
read_versioned_symbols(${LIBRARY})

set(faults "")
foreach(symbol IN LISTS unversioned_symbols)
    string(APPEND faults "\n  under neither node: ${symbol}")
endforeach()

foreach(symbol IN LISTS public_symbols)
    if(NOT symbol MATCHES "^((vtable|typeinfo|typeinfo name) for )?Zeto::")
        string(APPEND faults "\n  public, outside the namespace: ${symbol}")
        continue()
    endif()
    string(REGEX MATCHALL "Zeto::(Client::)?${identifier}" names "${symbol}")
    foreach(name IN LISTS names)
        string(REGEX REPLACE "^Zeto::(Client::)?" "" name "${name}")
        if(NOT name STREQUAL "operator" AND NOT name IN_LIST public_types)
            string(APPEND faults "\n  public, but ${name} is internal: ${symbol}")
            break()
        endif()
    endforeach()
endforeach()

string(REPLACE ";" "\n" public_lines "\n${public_symbols}\n")
string(REPLACE ";" "\n" private_lines "\n${private_symbols}\n")
foreach(name IN LISTS public_exports)
    set(own "\n((vtable|typeinfo|typeinfo name) for )?Zeto::(Client::)?${name}(::|\\(|\n)")
    if(NOT public_lines MATCHES "${own}")
        string(APPEND faults "\n  exported by a public header, but not public: ${name}")
    endif()
    if(private_lines MATCHES "${own}")
        string(APPEND faults "\n  exported by a public header, but private: ${name}")
    endif()
endforeach()

if(faults)
    message(FATAL_ERROR "${LIBRARY}:${faults}")
endif()
list(LENGTH public_symbols public_count)
list(LENGTH private_symbols private_count)
message(STATUS "${LIBRARY}: ${public_count} symbols under ${PUBLIC_NODE}, ${private_count} under ${PRIVATE_NODE}")
