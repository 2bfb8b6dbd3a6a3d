// The whole run of MORVIX: command line and options, file checks, the overwrite question and the
// listing.
#pragma once

// Returns the exit status: 0 after a listing or the usage screen, 1 after any error message or an
// aborted overwrite.
int runLister();
