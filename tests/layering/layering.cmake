# Fails when a source file includes a header from a folder above its own:
#
#   model <- util <- items <- printer <- print <- editor <- app
#
# A file may include headers of its own folder and of the folders to its left.
# Quoted and angled includes are read, and the headers named by Designer forms
# (uic writes an include for each).
#
#   cmake -DROOT=<source folder> -P layering.cmake
cmake_minimum_required(VERSION 3.16)

set(LAYERS model util items printer print editor app)

# The one include allowed upwards. FileUtil makes the pictures of every kind
# of element, the barcode among them, and callers pick how a rejected barcode
# text is reported (BarCode::RejectNotice); the generator itself belongs with
# the items that draw it.
set(ALLOWED
    "util/fileutil.h -> items/barcode.h")

if(NOT ROOT)
    message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -P layering.cmake")
endif()

set(violations 0)
foreach(layer IN LISTS LAYERS)
    list(FIND LAYERS ${layer} rank)
    file(GLOB_RECURSE files RELATIVE ${ROOT}
        ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp ${ROOT}/${layer}/*.ui)
    list(SORT files)
    foreach(file IN LISTS files)
        file(STRINGS ${ROOT}/${file} lines
            REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]+[\">]|<header>[^<]+</header>")
        foreach(line IN LISTS lines)
            if(line MATCHES "<header>([^<]+)</header>")
                set(header "${CMAKE_MATCH_1}")
            elseif(line MATCHES "include[ \t]*[\"<]([^\">]+)[\">]")
                set(header "${CMAKE_MATCH_1}")
            endif()
            string(REGEX MATCH "^[^/]+" folder "${header}")
            list(FIND LAYERS "${folder}" theirs)
            if(theirs GREATER rank AND NOT "${file} -> ${header}" IN_LIST ALLOWED)
                message("${file} includes ${header}: ${folder}/ lies above ${layer}/")
                math(EXPR violations "${violations} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations GREATER 0)
    message(FATAL_ERROR "${violations} includes reach above their folder's layer")
endif()
