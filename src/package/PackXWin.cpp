// GetClusterSize on Windows: the drive root is the path's first three
// characters ("C:\"), and the cluster is sectors per cluster times bytes per
// sector as the system reports them.
#include <windows.h>

#include "package/PackX.h"

uint32_t GetClusterSize(const std::string& path) {
    std::string root = path.substr(0, 3);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return 0;
    return sectorsPerCluster * bytesPerSector;
}
