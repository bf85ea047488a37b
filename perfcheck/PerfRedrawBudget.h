#pragma once

#include <chrono>

// When the plot may redraw during a run. A redraw takes milliseconds, which the run's cycles
// pay, so all of a run's redraws, the coming one counted at the cost of the last, take no more
// than kShareOfRun of the run's time so far: the first one too, which waits until the run has
// been long enough. Redraws are kInterval apart at least.
class PerfRedrawBudget
{
public:
    static constexpr std::chrono::duration<double> kInterval{0.5};
    static constexpr double kShareOfRun = 0.005;
    // What a redraw is taken to cost until one has been timed.
    static constexpr std::chrono::duration<double> kAssumedCost{0.01};

    // Whether to redraw at this second of the run. A second earlier than one asked about
    // before begins a new run.
    bool due(double second);
    // A redraw during the run: at which second, and how many seconds it took.
    void spent(double second, double cost);
    // A redraw at another time: what the next one will likely cost.
    void timed(double cost) { m_cost = cost; }

private:
    double m_cost = kAssumedCost.count();
    double m_spent = 0;     // on this run's redraws
    double m_drawnAt = 0;   // the second of this run's last redraw
    double m_askedAt = 0;
};
