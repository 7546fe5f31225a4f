#pragma once

// Once per process, on the front end's main thread before the first conversion: sets up libsox
// with its console messages silenced. Later calls do nothing.
void InitializeEngine();
