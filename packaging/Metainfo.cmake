# Writes the AppStream metainfo from its template, run as a script so that the screenshots are
# the ones present when it runs:
#   cmake -DTEMPLATE=in -DOUTPUT=out -DLICENSE=spdx [-DHOMEPAGE=url]
#         [-DSCREENSHOT_DIR=dir -DSCREENSHOT_URL=url] -P Metainfo.cmake
# Software centres fetch screenshots from the web, so they are listed only when SCREENSHOT_URL
# says where the folder's pictures are published.

cmake_minimum_required(VERSION 3.25)

function(xml_escape text out)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The caption for a picture, by the window its name is about.
function(caption_for name out)
    if(name MATCHES "^main")
        set(text "The file list in the main window")
    elseif(name MATCHES "^progress")
        set(text "A conversion under way in the progress window")
    elseif(name MATCHES "^option")
        set(text "The output folder and the MP3 settings")
    elseif(name MATCHES "^about")
        set(text "The about box")
    else()
        string(REGEX REPLACE "[-_]+" " " text "${name}")
        string(SUBSTRING "${text}" 0 1 first)
        string(SUBSTRING "${text}" 1 -1 rest)
        string(TOUPPER "${first}" first)
        set(text "${first}${rest}")
    endif()
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
if(SCREENSHOT_URL AND SCREENSHOT_DIR)
    file(GLOB pictures RELATIVE "${SCREENSHOT_DIR}" "${SCREENSHOT_DIR}/*.png")
    # The main window first (the default picture), then the windows in the order a user meets
    # them, then anything else by name.
    set(ordered "")
    foreach(prefix main progress option about)
        foreach(picture IN LISTS pictures)
            if(picture MATCHES "^${prefix}")
                list(APPEND ordered "${picture}")
            endif()
        endforeach()
    endforeach()
    list(SORT pictures)
    foreach(picture IN LISTS pictures)
        if(NOT picture IN_LIST ordered)
            list(APPEND ordered "${picture}")
        endif()
    endforeach()

    string(REGEX REPLACE "/+$" "" base "${SCREENSHOT_URL}")
    set(items "")
    set(type " type=\"default\"")
    foreach(picture IN LISTS ordered)
        get_filename_component(name "${picture}" NAME_WE)
        caption_for("${name}" caption)
        xml_escape("${base}/${picture}" url)
        string(APPEND items "\n    <screenshot${type}>"
            "\n      <caption>${caption}</caption>"
            "\n      <image>${url}</image>"
            "\n    </screenshot>")
        set(type "")
    endforeach()
    if(items)
        set(QUILLON_SCREENSHOTS_XML "\n  <screenshots>${items}\n  </screenshots>")
    endif()
endif()

configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
