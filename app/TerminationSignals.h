#pragma once

// A request to end the program from outside (SIGTERM at logout, SIGINT,
// SIGHUP) ends it the way File > Exit does, once the command in progress
// has finished, instead of killing it in the middle of converting a file,
// which would leave the conversion's temporary file behind.

class TApplication;

void TerminateOnSignals(TApplication& application);
