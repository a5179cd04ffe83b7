// The program run from a terminal or a script: `orvane wake`, `scan`,
// `hosts`, `--help`, `--version`. No window, no display.
#pragma once

// Runs the command the words after the program's name give and returns the
// process status: 0 done, 1 a failure, 2 a usage error, 130 interrupted.
int OrvaneCommandMain(int argc, char** argv);
