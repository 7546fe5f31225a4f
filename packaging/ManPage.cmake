# Writes quillon-convert's manual page from its --help text, so the page and the program never
# disagree:
#   cmake -DPROGRAM=path/to/quillon-convert -DVERSION=x.y.z -DOUTPUT=quillon-convert.1
#         -P ManPage.cmake
# The help is read as: a "usage: NAME ARGS" line; paragraphs of text; a paragraph of options,
# each "  -x, --long VALUE   what it does" with deeper-indented continuation lines; a paragraph
# starting "Exit status:". Sections the help has no room for are written here.

cmake_minimum_required(VERSION 3.25)

foreach(required PROGRAM VERSION OUTPUT)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "ManPage.cmake needs -D${required}=...")
    endif()
endforeach()

execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed: ${status}")
endif()

# Plain text for roff: backslashes kept, option dashes as minus signs, no line read as a
# request.
function(roff_text text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REGEX REPLACE "(^|[ ([|])--" "\\1\\\\-\\\\-" text "${text}")
    string(REGEX REPLACE "(^|[ ([|])-" "\\1\\\\-" text "${text}")
    string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# "-o, --output DIR": the option names in bold, the value in italics.
function(roff_term term out)
    set(result "")
    string(REPLACE ", " ";" names "${term}")
    set(first TRUE)
    foreach(name IN LISTS names)
        if(NOT first)
            string(APPEND result ", ")
        endif()
        set(first FALSE)
        if(name MATCHES "^([^ =]+)([ =])(.+)$")
            roff_text("${CMAKE_MATCH_1}" flag)
            roff_text("${CMAKE_MATCH_3}" value)
            string(APPEND result "\\fB${flag}\\fR${CMAKE_MATCH_2}\\fI${value}\\fR")
        else()
            roff_text("${name}" flag)
            string(APPEND result "\\fB${flag}\\fR")
        endif()
    endforeach()
    set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Lines, keeping the empty ones that separate paragraphs (CMake lists drop nothing here, but
# semicolons in the text would split a line).
string(REPLACE ";" "\\;" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(name "")
set(synopsis "")
set(description "")
set(options "")
set(exitStatus "")
set(section description)
set(paragraphStart TRUE)
foreach(line IN LISTS lines)
    if(line MATCHES "^usage: ([^ ]+) ?(.*)$")
        set(name "${CMAKE_MATCH_1}")
        roff_text("${CMAKE_MATCH_2}" synopsis)
        continue()
    endif()
    if(line STREQUAL "")
        set(paragraphStart TRUE)
        continue()
    endif()
    if(paragraphStart)
        if(line MATCHES "^ +-")
            set(section options)
        elseif(line MATCHES "^Exit status: *(.*)$")
            set(section exitStatus)
            set(line "${CMAKE_MATCH_1}")
        else()
            set(section description)
            if(NOT description STREQUAL "")
                string(APPEND description ".PP\n")
            endif()
        endif()
        set(paragraphStart FALSE)
    endif()
    if(section STREQUAL "options")
        if(line MATCHES "^ +(-[^ ].*[^ ])  +([^ ].*)$")
            roff_term("${CMAKE_MATCH_1}" term)
            roff_text("${CMAKE_MATCH_2}" text)
            string(APPEND options ".TP\n${term}\n${text}\n")
        elseif(line MATCHES "^ +(-[^ ].*[^ ]) *$")
            roff_term("${CMAKE_MATCH_1}" term)
            string(APPEND options ".TP\n${term}\n")
        elseif(line MATCHES "^ +([^ ].*)$")
            roff_text("${CMAKE_MATCH_1}" text)
            string(APPEND options "${text}\n")
        endif()
    else()
        string(STRIP "${line}" line)
        roff_text("${line}" text)
        string(APPEND ${section} "${text}\n")
    endif()
endforeach()

if(name STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} --help has no usage line")
endif()
string(TOUPPER "${name}" title)

set(page ".TH ${title} 1 \"\" \"Quillon ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${name} \\- convert Ogg Vorbis files into MP3 files\n")
string(APPEND page ".SH SYNOPSIS\n.B ${name}\n${synopsis}\n")
string(APPEND page ".SH DESCRIPTION\n${description}")
if(NOT options STREQUAL "")
    string(APPEND page ".SH OPTIONS\n${options}")
endif()
if(NOT exitStatus STREQUAL "")
    string(APPEND page ".SH \"EXIT STATUS\"\n${exitStatus}")
endif()
string(APPEND page [=[
.SH FILES
.TP
.I ~/.config/Quillon/Config.ini
The output folder and the MP3 settings that Quillon saves. Options left out take their values
from it; the command never writes it.
.SH "SEE ALSO"
.BR quillon (1)
]=])
string(REPLACE "\\;" ";" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
