// The chemistry layer: every public header of KvChem.
#pragma once

#include "kvchem/canon.h"
#include "kvchem/depict.h"
#include "kvchem/lingo.h"
#include "kvchem/mcs.h"
#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvchem/perception.h"
#include "kvchem/predicates.h"
#include "kvchem/size_limits.h"
#include "kvchem/substruct.h"
