# Writes a manual page from a program's --help (and its subcommands' --help), run at build time:
#   cmake -DPROGRAM=path -DNAME=kelmor-tool -DSUMMARY="..." -DVERSION=4.0.7 -DOUT=file.1
#         -P ManPage.cmake
# The help texts are shown as they are (preformatted); ENVIRONMENT and FILES are the same for
# every program.
foreach(var PROGRAM NAME SUMMARY VERSION OUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ManPage.cmake: ${var} is not set")
    endif()
endforeach()

# Text made safe for roff: a backslash as \e, a hyphen as \- (a minus in options), and a line
# that starts with a dot or an apostrophe guarded by \&.
function(roff_escape out text)
    string(REPLACE "\\" "\\e" text "\n${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REPLACE "\n." "\n\\&." text "${text}")
    string(REPLACE "\n'" "\n\\&'" text "${text}")
    string(SUBSTRING "${text}" 1 -1 text)
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(program_help out)
    execute_process(COMMAND ${PROGRAM} ${ARGN} --help
                    OUTPUT_VARIABLE help ERROR_VARIABLE err RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "ManPage.cmake: ${PROGRAM} ${ARGN} --help failed (${rc}): ${err}")
    endif()
    string(REPLACE "${PROGRAM}" "${NAME}" help "${help}")
    string(STRIP "${help}" help)
    set(${out} "${help}" PARENT_SCOPE)
endfunction()

# The names listed under "Subcommands:" in a help text.
function(subcommands out help)
    set(names "")
    string(FIND "${help}" "\nSubcommands:\n" at)
    if(NOT at EQUAL -1)
        string(SUBSTRING "${help}" ${at} -1 tail)
        string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" found "${tail}")
        foreach(f ${found})
            string(STRIP "${f}" f)
            list(APPEND names ${f})
        endforeach()
    endif()
    set(${out} "${names}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" title)
program_help(help)
roff_escape(help_roff "${help}")
set(page ".TH ${title} 1 \"\" \"${NAME} ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH SYNOPSIS
.nf
${help_roff}
.fi
")
if(DEFINED DESCRIPTION)
    roff_escape(d "${DESCRIPTION}")
    string(APPEND page ".SH DESCRIPTION\n${d}\n")
endif()

subcommands(subs "${help}")
if(subs)
    string(APPEND page ".SH COMMANDS\n")
    foreach(sub ${subs})
        program_help(subhelp ${sub})
        roff_escape(r "${subhelp}")
        string(APPEND page ".SS ${sub}\n.nf\n${r}\n.fi\n")
        subcommands(subsubs "${subhelp}")
        foreach(subsub ${subsubs})
            program_help(h ${sub} ${subsub})
            roff_escape(r "${h}")
            string(APPEND page ".SS ${sub} ${subsub}\n.nf\n${r}\n.fi\n")
        endforeach()
    endforeach()
endif()

string(APPEND page [=[.SH ENVIRONMENT
.TP
.B KELMOR_HOME
The program folder (settings file kelmor.ini, definition files, logs, loaders/), instead of the
places below.
.TP
.B KELMOR_COM1 \fR... \fBKELMOR_COM16
The device of port COM1 ... COM16, e.g. /dev/ttyUSB0 (else the section [Serial devices] of the
settings file, else /dev/ttyS0 ... /dev/ttyS15).
.TP
.B XDG_DATA_HOME
The user's data folder (default ~/.local/share); an installed program keeps its program folder
in $XDG_DATA_HOME/kelmor.
.SH FILES
.TP
.I ~/.local/share/kelmor/
The program folder of an installed program: kelmor.ini, the modem definitions (*.smf), logs,
loaders/. Made on first start and seeded with the sample definitions.
.TP
.I /usr/share/kelmor/
The sample definitions (definitions/), stand-in loader images (loaders/) and sounds.
.SH NOTES
Serial ports belong to the group dialout. To use them, add yourself to it with
.B sudo usermod \-aG dialout $USER
and log in again.
.SH SEE ALSO
.BR kelmor (1),
.BR kelmor-tool (1),
.BR kelmor-modem-sim (1)
]=])
file(WRITE "${OUT}" "${page}")
