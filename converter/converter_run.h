// The whole run of KALDEX: command line, file checks, the overwrite question and the conversion.
#pragma once

// Returns the exit status: 0 after a conversion or the usage text, 1 after any error message or
// an aborted overwrite.
int runConverter();
