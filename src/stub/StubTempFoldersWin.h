// The run's temporary folders: SETUP_<n> in the system temporary folder,
// and a work folder on a roomier fixed drive when the temporary drive is
// short of room. Each is made new and private; the run's state keeps what
// was made, so that every way out removes it.
#pragma once

#include <cstdint>
#include <string>

struct TStubFolders;
struct TStubRun;

// The running executable's last-write time as a packed DOS date-time.
uint32_t OwnDosDateTime();

// The per-run temporary folder "SETUP_<n>", made on first use (the next
// number when the name is taken); empty when none could be made.
std::string SetupTempFolder(TStubRun& run);

// Whether a fixed drive among C:, D:, E: has more free room than the
// temporary drive (probed once per run).
bool FindRoomierTempDrive(TStubFolders& folders);
// The work folder on that drive, made on first use; empty without one.
std::string AlternateWorkFolder(TStubFolders& folders);
// Removes the roomier drive's work folder when one was made.
void RemoveAlternateWorkFolder(const TStubFolders& folders);
