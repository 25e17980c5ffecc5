#pragma once
// The connection moved to its own layer (connection/Proteus.h); this name
// stays so that code written against the old place keeps building. It is
// found only by code that links the connection library.
#include "connection/Proteus.h"
