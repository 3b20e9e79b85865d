#pragma once
// The layer shell's generated header names an argument "namespace", a C++ keyword: it is
// renamed for the compiler here, and only here. Included after every other header.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
