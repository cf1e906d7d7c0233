# Writes the man page sonavel.1 from `sonavel --help`, so that the two never disagree.
# Run as: cmake -DSONAVEL=path/to/sonavel -DOUTPUT=sonavel.1 -P ManPage.cmake
# The version line comes from `sonavel --version` when the program has that option.

execute_process(COMMAND ${SONAVEL} --help OUTPUT_VARIABLE help RESULT_VARIABLE helpResult)
if(NOT helpResult EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "`${SONAVEL} --help` failed: ${helpResult}")
endif()
execute_process(COMMAND ${SONAVEL} --version OUTPUT_VARIABLE version
  RESULT_VARIABLE versionResult ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT versionResult EQUAL 0)
  set(version "sonavel")
endif()

# roff: a backslash is \e, a minus is \-, and a line may not start with a dot or quote.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(REPLACE "\\" "\\e" version "${version}")

file(WRITE ${OUTPUT} ".TH SONAVEL 1 \"\" \"${version}\" \"User Commands\"
.SH NAME
sonavel \\- restore recorded audio: declip, declick and noise reduction
.SH SYNOPSIS
.nf
${help}.fi
.SH SEE ALSO
The same effect runs in LV2 hosts as the plug-ins of the sonavel.lv2 bundle.
")
