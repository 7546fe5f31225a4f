#pragma once

// The results the stand-in encoder modules fail with, so tests can expect them in log lines.
#define STANDIN_INIT_ERROR 1234u
#define STANDIN_ENCODE_ERROR 4321u
#define STANDIN_DEINIT_ERROR 777u
