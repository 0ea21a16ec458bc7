// Varnex: every public header of the fingerprint library and of the system
// and chemistry layers it stands on.
#pragma once

#include "kvchem/kvchem.h"
#include "kvsystem/kvsystem.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/info.h"
#include "varnex/typing.h"
#include "varnex/vsepr_fingerprint.h"
#include "varnex/vsepr_types.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/similarity.h"
#include "varnex/simfunc.h"
#include "varnex/lingofp.h"
#include "varnex/dboptions.h"
#include "varnex/maccs.h"
#include "varnex/histogram.h"
#include "varnex/searchresult.h"
#include "varnex/fpio.h"
#include "varnex/fpdatabase.h"
#include "varnex/circularfp.h"
