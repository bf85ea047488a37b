#pragma once

// Which controls of the Monitor pane take input. The sides change only while the monitor is
// stopped; Start needs both sides set.
struct MonitorPaneEnables
{
    bool sides = false; // the two option strings and their Set... buttons
    bool start = false;
    bool stop = false;
    friend bool operator==(const MonitorPaneEnables &, const MonitorPaneEnables &) = default;
};

MonitorPaneEnables MonitorPaneEnablesFor(bool running, bool hostSet, bool deviceSet);
