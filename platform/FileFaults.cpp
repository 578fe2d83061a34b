#include "platform/FileFaults.h"

namespace {

CFileFaults g_faults;
int g_writeCalls = 0;

} // namespace

void SetFileFaults(const CFileFaults& faults) {
    g_faults = faults;
    g_writeCalls = 0;
}

void ClearFileFaults() {
    SetFileFaults(CFileFaults{});
}

int FileFaultOnWrite() {
    if (g_faults.nFailWrite == 0)
        return 0;
    return ++g_writeCalls == g_faults.nFailWrite ? g_faults.nError : 0;
}

int FileFaultOnSync() {
    return g_faults.bFailSync ? g_faults.nError : 0;
}

int FileFaultOnRename() {
    return g_faults.bFailRename ? g_faults.nError : 0;
}
