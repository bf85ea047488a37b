#include "MonitorPaneRules.h"

MonitorPaneEnables MonitorPaneEnablesFor(bool running, bool hostSet, bool deviceSet)
{
    return MonitorPaneEnables{!running, !running && hostSet && deviceSet, running};
}
