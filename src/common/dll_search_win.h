#pragma once

namespace vantle {

// From now on, DLLs this process loads by bare name come from the system folder only: never
// from the program's own folder (a Downloads folder, a share, a USB stick) nor from the
// current folder, where anyone may have left a DLL of the right name. Call it first, before
// anything can load a DLL; the statically imported DLLs are all ones Windows always takes from
// its system folder.
void RestrictDllSearchToSystemFolder();

}  // namespace vantle
