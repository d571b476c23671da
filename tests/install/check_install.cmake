# Installs the build into a fresh prefix, checks what a package would hold, and
# runs the installed evaluator, whose database must go to the user's data folder.
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${WORK}/usr"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
set(prefix "${WORK}/usr")
foreach(f bin/marrowick bin/marrowick-batch
          share/marrowick/DupTestData.txt share/marrowick/user-manual.md share/marrowick/samples/results-typical.txt
          share/applications/org.marrowick.Marrowick.desktop share/metainfo/org.marrowick.Marrowick.metainfo.xml
          share/icons/hicolor/scalable/apps/org.marrowick.Marrowick.svg share/icons/hicolor/48x48/apps/org.marrowick.Marrowick.png
          share/icons/hicolor/256x256/apps/org.marrowick.Marrowick.png share/man/man1/marrowick-batch.1.gz
          share/man/man1/marrowick.1.gz share/doc/marrowick/copyright share/doc/marrowick/changelog.gz)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

file(READ "${prefix}/share/applications/org.marrowick.Marrowick.desktop" desktop)
foreach(line "Exec=marrowick" "Icon=org.marrowick.Marrowick" "Type=Application")
  string(FIND "${desktop}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the menu entry lacks ${line}")
  endif()
endforeach()
# Each text is checked as a reader gets it: the man pages and changelog unpacked.
function(require_words file)
  if(file MATCHES "\\.gz$")
    execute_process(COMMAND gzip -dc "${prefix}/${file}" OUTPUT_VARIABLE text RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${file} is not a valid gzip file")
    endif()
  else()
    file(READ "${prefix}/${file}" text)
  endif()
  foreach(word ${ARGN})
    string(FIND "${text}" "${word}" at)
    if(at LESS 0)
      message(FATAL_ERROR "${file} lacks ${word}")
    endif()
  endforeach()
endfunction()
require_words(share/man/man1/marrowick-batch.1.gz ".TH MARROWICK-BATCH 1" "--rebuild-database" "explain" "deck" "Exit codes")
require_words(share/man/man1/marrowick.1.gz ".TH MARROWICK 1" ".SH FILES" "DupTestDataFin.db")
require_words(share/doc/marrowick/copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
              "License: Apache-2.0")
require_words(share/doc/marrowick/changelog.gz "marrowick (1.0)")

# The installed program keeps its database in the user's data folder, never in bin/.
set(ENV{XDG_DATA_HOME} "${WORK}/data")
execute_process(COMMAND "${prefix}/bin/marrowick-batch" evaluate "${prefix}/share/marrowick/samples/results-typical.txt"
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT code EQUAL 0 OR NOT out MATCHES "rows loaded")
  message(FATAL_ERROR "the installed evaluator failed (${code}): ${out}${err}")
endif()
if(EXISTS "${prefix}/bin/DupTestDataFin.db" OR NOT EXISTS "${WORK}/data/Marrowick/Marrowick/DupTestDataFin.db")
  message(FATAL_ERROR "the installed program's database is not in the user's data folder")
endif()

# The installed evaluator finds its page module for --pdf in the library folder.
execute_process(COMMAND "${prefix}/bin/marrowick-batch" report --pdf "${WORK}/pdf" 0
                RESULT_VARIABLE code OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT code EQUAL 0 OR NOT EXISTS "${WORK}/pdf/rptOverall.pdf")
  message(FATAL_ERROR "the installed evaluator wrote no PDF (${code}): ${err}")
endif()

# And its registry module for send: a CA file that cannot be read is the
# module's own fault (exit code 6), which a module not found never reaches.
execute_process(COMMAND "${prefix}/bin/marrowick-batch" send --endpoint mllps://127.0.0.1:9 --ca "${WORK}/no-ca.pem"
                RESULT_VARIABLE code OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT code EQUAL 6 OR NOT err MATCHES "^Registry Error: ")
  message(FATAL_ERROR "the installed evaluator did not run its registry module (${code}): ${err}")
endif()
