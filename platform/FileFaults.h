#pragma once

// Test seam: makes CFile fail on purpose, to prove that a failed save or
// export leaves the disk as it was. Never set outside tests.
struct CFileFaults {
    int nFailWrite = 0;     // 1-based number of the Write() call to fail; 0 none
    bool bFailSync = false; // fail the sync before the rename
    bool bFailRename = false;
    int nError = 5; // errno value reported (EIO)
};

void SetFileFaults(const CFileFaults& faults);
void ClearFileFaults();

// Used by CFile: each returns the errno value to fail with, or 0.
int FileFaultOnWrite();
int FileFaultOnSync();
int FileFaultOnRename();
