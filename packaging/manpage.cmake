# Writes the man page of marrowick-batch from its --help text, so the page
# cannot drift from the program: cmake -DBATCH=... -DOUT=... -P manpage.cmake
execute_process(COMMAND "${BATCH}" --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "marrowick-batch --help failed")
endif()
# Backslashes and leading dots mean something to troff.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)\\." "\\1\\\\&." help "${help}")
file(WRITE "${OUT}" ".TH MARROWICK-BATCH 1 \"\" \"Marrowick\" \"User Commands\"
.SH NAME
marrowick-batch \\- evaluate an immunization registry's de-duplication from the command line
.SH DESCRIPTION
Runs the evaluation of the Marrowick program without a window: loads a registry's results
file, analyses it against the answer sheet of the supplied test data, and prints, exports or
explains the reports, or writes the test data itself; or sends the test data through a
registry's test interface and queries it back into a results file (send, fetch, roundtrip).
.PP
.nf
${help}.fi
.SH SEE ALSO
.BR marrowick (1),
the user manual in /usr/share/marrowick/user-manual.md
")
