#include "PlanRunRule.h"

PlanRunVerdict PlanRunRule(const PlanRunState &state)
{
    if (state.running)
        return {false, QStringLiteral("A plan is running")};
    if (!state.planOpen)
        return {false, QStringLiteral("Open a plan first")};
    switch (state.role) {
    case PlanLinkRole::None:
        return {false, QStringLiteral("Connect first: a plan runs on the open connection")};
    case PlanLinkRole::AnswerOnly:
        return {false, QStringLiteral("A serial server only answers requests: connect as a client to run a plan")};
    case PlanLinkRole::Server:
        if (state.links <= 0)
            return {false, QStringLiteral("No client has connected yet: a plan runs once one has")};
        break;
    case PlanLinkRole::Client:
        if (state.links <= 0)
            return {false, QStringLiteral("The connection has closed: connect again to run a plan")};
        break;
    }
    return {true, QStringLiteral("Run the plan on the open connection")};
}
