#!/bin/sh
# Takes the application stub's place in the test build of the view: notes
# when it was started and with which arguments in the file the test names.
printf '%s %s\n' "$(date +%s.%N)" "$*" >> "${VLSS_LAUNCH_RECORD:?}"
