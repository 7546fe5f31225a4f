#pragma once

// Runs Quillon: one instance per user, the main window, and the process's end with exit
// code 1 when the window closes. A later start hands its files to the running window and
// returns 0 at once.
int RunQuillon(int argc, char** argv);
