// Fault switches for tests of collection writers; never set outside tests.
#pragma once

namespace Varnex {

// While true, every collection writer fails its final commit as a full disk
// would (after its shards are in place).
void SetCollectionCommitFaultForTesting(bool fail);

}  // namespace Varnex
