// The data-flow layer (namespace KvDataFlow): record buffers, field type
// handlers and their registry, records with cached values, JSON helpers.
#pragma once

#include "kvsystem/dfbuffer.h"
#include "kvsystem/dffield.h"
#include "kvsystem/dfjson.h"
#include "kvsystem/dfrecord.h"
