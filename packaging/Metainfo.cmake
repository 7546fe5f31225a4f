# Writes the AppStream metainfo from its template, run as a script so that the screenshots are
# the README's at the time it runs:
#   cmake -DTEMPLATE=in -DOUTPUT=out -DLICENSE=spdx [-DHOMEPAGE=url]
#         [-DREADME=README.md -DSCREENSHOT_URL=url] -P Metainfo.cmake
# The screenshots are the pictures of docs/screenshots/ that the README shows, in its order and
# with its descriptions as captions. Software centres fetch them from the web, so they are
# listed only when SCREENSHOT_URL says where that folder is published.

cmake_minimum_required(VERSION 3.25)

function(xml_escape text out)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

foreach(required TEMPLATE OUTPUT LICENSE)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "Metainfo.cmake needs -D${required}=...")
    endif()
endforeach()

set(QUILLON_LICENSE "${LICENSE}")

set(QUILLON_URL_XML "")
if(HOMEPAGE)
    xml_escape("${HOMEPAGE}" url)
    set(QUILLON_URL_XML "\n  <url type=\"homepage\">${url}</url>")
endif()

set(QUILLON_SCREENSHOTS_XML "")
if(SCREENSHOT_URL AND README)
    get_filename_component(readmeFolder "${README}" DIRECTORY)
    file(READ "${README}" readme)
    string(REGEX MATCHALL "!\\[[^]\n]*\\]\\(docs/screenshots/[^)\n]+\\.png\\)" pictures "${readme}")
    string(REGEX REPLACE "/+$" "" base "${SCREENSHOT_URL}")
    set(items "")
    set(shown "")
    set(type " type=\"default\"")
    foreach(picture IN LISTS pictures)
        string(REGEX MATCH "^!\\[([^]]*)\\]\\(docs/screenshots/(.+)\\)$" _ "${picture}")
        set(caption "${CMAKE_MATCH_1}")
        set(file "${CMAKE_MATCH_2}")
        if(file IN_LIST shown OR NOT EXISTS "${readmeFolder}/docs/screenshots/${file}")
            continue()
        endif()
        list(APPEND shown "${file}")
        xml_escape("${caption}" caption)
        xml_escape("${base}/${file}" url)
        string(APPEND items "\n    <screenshot${type}>")
        if(NOT caption STREQUAL "")
            string(APPEND items "\n      <caption>${caption}</caption>")
        endif()
        string(APPEND items "\n      <image>${url}</image>\n    </screenshot>")
        set(type "")
    endforeach()
    if(items)
        set(QUILLON_SCREENSHOTS_XML "\n  <screenshots>${items}\n  </screenshots>")
    endif()
endif()

configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
