#include "analysis/test_session.h"

#include "analysis/commands.h"

namespace frontlys {

TestSession NewSession() { return NewSession(DefaultPreferences()); }

TestSession NewSession(const Tpreferences& prefs)
{
    TestSession session;
    ApplyPreferences(session, prefs);
    return session;
}

void UseBasis(TestSession& session, int count)
{
    if (session.Basis.Count() != count) session.Basis = ZernikeBasis::ForCount(count);
}

void ApplyPreferences(TestSession& session, const Tpreferences& prefs)
{
    session.Prefs = prefs;
    UseBasis(session, prefs.NPolyZern);
}

TestGeometry GeometryOf(const TTestParams& params)
{
    return {params.Focal, params.ApertureRadius, params.Defocus};
}

void CommandOutcome::Merge(CommandOutcome next)
{
    ran = ran || next.ran;
    shown.insert(shown.end(), next.shown.begin(), next.shown.end());
    released.insert(released.end(), next.released.begin(), next.released.end());
    outlined.insert(outlined.end(), next.outlined.begin(), next.outlined.end());
    opened.insert(opened.end(), next.opened.begin(), next.opened.end());
    refreshInfos = refreshInfos || next.refreshInfos;
    if (next.message) message = std::move(next.message);
    if (!next.status.ok()) status = std::move(next.status);
}

CommandOutcome Refused(StatusCode code, std::string message, std::string reason, MessageStyle style)
{
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.message = Message{message, style};
    outcome.status = Status::Fail(code, std::move(message), std::move(reason));
    return outcome;
}

}  // namespace frontlys
