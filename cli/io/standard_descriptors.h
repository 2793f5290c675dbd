// Descriptors 0, 1 and 2 as the tool found them, even when one was closed.
#pragma once

namespace ansicrypt::cli {

// Descriptors 0, 1 and 2 that are closed are opened on /dev/null the wrong way round (standard
// input for writing, the others for reading), so that no file the tool opens takes their number
// and every use of them fails with EBADF, as with a closed descriptor.
void ReserveStandardDescriptors();

}  // namespace ansicrypt::cli
