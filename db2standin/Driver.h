// Handles and the engine behind the ODBC entry points (narrow and wide wrappers
// live in Api.cpp).
#pragma once

#include "Connection.h"
#include "Statement.h"
