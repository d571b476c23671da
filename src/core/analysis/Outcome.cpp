#include "Outcome.h"

#include <array>
#include <utility>

namespace marrowick {

namespace {
struct OutcomeName {
    Outcome outcome;
    const char* code;
    const char* words;
};
constexpr std::array<OutcomeName, 8> kNames{{
    {Outcome::Main, "main", "main record"},
    {Outcome::Caught, "caught", "caught"},
    {Outcome::Flagged, "flagged", "flagged"},
    {Outcome::Missed, "missed", "missed"},
    {Outcome::Lost, "lost", "lost"},
    {Outcome::Absent, "absent", "absent"},
    {Outcome::KeptApart, "kept_apart", "kept apart"},
    {Outcome::StrangerMerge, "stranger_merge", "merged with a stranger"},
}};
} // namespace

const char* outcomeCodeText(Outcome outcome) { return kNames[size_t(outcome)].code; }

QString outcomeCode(Outcome outcome) { return QLatin1String(outcomeCodeText(outcome)); }

std::optional<Outcome> parseOutcome(const QString& code)
{
    for (const OutcomeName& name : kNames)
        if (code == QLatin1String(name.code)) return name.outcome;
    return std::nullopt;
}

QString outcomeWords(Outcome outcome) { return QLatin1String(kNames[size_t(outcome)].words); }

QString outcomeWords(const QString& code)
{
    const std::optional<Outcome> outcome = parseOutcome(code);
    return outcome ? outcomeWords(*outcome) : code;
}

} // namespace marrowick
