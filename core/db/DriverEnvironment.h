#pragma once

// Sets the process environment the ODBC drivers read when they are first
// loaded (once; every DataConnection makes sure of it). Programs call it at
// start, before other threads run, since changing the environment is not
// safe then.
void PrepareDriverEnvironment();
