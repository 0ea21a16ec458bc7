// The system-services layer: every public header of KvSystem.
#pragma once

#include "kvsystem/base.h"
#include "kvsystem/bitvector.h"
#include "kvsystem/call_context.h"
#include "kvsystem/dataflow.h"
#include "kvsystem/error.h"
#include "kvsystem/functional.h"
#include "kvsystem/iterator.h"
#include "kvsystem/kvb.h"
#include "kvsystem/namespace.h"
#include "kvsystem/parameters.h"
#include "kvsystem/platform.h"
#include "kvsystem/streams.h"
#include "kvsystem/status.h"
#include "kvsystem/strings.h"
#include "kvsystem/dots.h"
#include "kvsystem/workers.h"
