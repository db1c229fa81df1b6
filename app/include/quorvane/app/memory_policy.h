// How the process hands freed memory back to the system. A picture's bytes are gathered in one
// growing buffer that is freed after the picture is saved; handing those pages back after every
// picture and faulting them in again for the next one costs more than the download itself on
// loopback. Never fails; call once at start, before any thread.
#pragma once

namespace quorvane {

// Keeps freed blocks (up to a few tens of MiB) for reuse instead of returning them to the
// system at once. The resident size then stays near the largest picture, not the sum.
void KeepFreedMemoryForReuse();

}  // namespace quorvane
