#include "stub/StubAgentHost.h"

#include "agent/AgentHost.h"
#include "package/PackX.h"
#include "stub/StubGlob.h"
#include "stub/StubRunWin.h"
#include "stub/StubState.h"
#include "stub/StubWindow.h"

void InstallAgentHost()
{
    TAgentHost h;
    h.ownPackage = []() -> const TGFileInfo& { return OwnPackage(); };
    h.runLog = &RunLogLine;
    h.notify = &NotifyListener;
    h.mainWindow = &StartupWindow;
    h.showMainWindow = &ShowStartupWindow;
    h.setStatusText = &SetStatusText;
    h.progress = &ProgressCallback;
    h.runPackageSetup = &RunPackageSetup;
    h.setupTempFolder = &SetupTempFolder;
    SetAgentHost(h);
}
